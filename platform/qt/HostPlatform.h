#pragma once
// The real machine for a host program: Qt loop, HTTP, XML on pugixml, the resource library
// beside the program (or in the installed data folder), and either scripted (terminal) or real
// (Qt Widgets) windows. The real windows and the browser live in libkdautoupdate-desktop,
// loaded when the first window opens, so a host that only checks loads Qt Core and Network.

#include <memory>
#include <string>

#include "platform/LoadedForms.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

class ScriptedRenderer;
class QtFormRenderer;

enum class UiMode { Scripted, Desktop };

class HostPlatform {
public:
    // Needs a running QCoreApplication (QApplication for UiMode::Desktop).
    explicit HostPlatform(UiMode mode, long uiTimeoutMs = 30000);
    ~HostPlatform();
    HostPlatform(const HostPlatform&) = delete;
    HostPlatform& operator=(const HostPlatform&) = delete;

    Platform& platform() { return m_platform; }
    // The scripted renderer in UiMode::Scripted, else null.
    ScriptedRenderer* Scripted() const;
    // The Qt Widgets renderer in UiMode::Desktop (loads the desktop library), else null.
    QtFormRenderer* Desktop() const;

    // For UiMode::Desktop, call before the QApplication is created: prepares it for the
    // browser without loading the desktop library, which loads with the first window
    // (DesktopForms::PrepareApplication). A host that starts Qt WebEngine itself before the
    // agent's first window passes `loadBrowserNow`. False when called too late or when the
    // desktop library cannot be loaded.
    static bool PrepareDesktopApplication(bool loadBrowserNow = false);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    Platform m_platform;
    LoadedForms m_loadedForms;
};

} // namespace KDAutoUpdate
