#pragma once
// The real machine for a host program: Qt loop, HTTP, XML on pugixml, the resource library
// beside the program, and either scripted (terminal) or real (Qt Widgets) windows.

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
    // The Qt Widgets renderer in UiMode::Desktop, else null.
    QtFormRenderer* Desktop() const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    Platform m_platform;
    LoadedForms m_loadedForms;
};

} // namespace KDAutoUpdate
