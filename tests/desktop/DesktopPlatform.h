#pragma once
// The real machine of the desktop tests: the Qt loop, HTTP, XML, utility and resource library,
// Qt Widgets windows with the WebEngine browser control, downloads into a fresh program folder,
// recorded process starts and desktop hand-overs.
//
// The program folder holds a copy of the built resource library, so the agent opens it there
// and writes its store beside it; the folder goes when the platform ends.

#include <QPointer>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/LoadedForms.h"
#include "platform/Platform.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/qt/QtDownloaderFactory.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtResourceLibrary.h"
#include "platform/qt/QtTextCase.h"
#include "platform/qt/QtUtilityLibrary.h"
#include "platform/qt/QtWebBrowserControl.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/RecordingProcessLauncher.h"

namespace KDAutoUpdate {

// Pages come from the loopback interface, so whether the machine has a network connection
// must not decide whether a test runs: this utility library always reports one.
class LoopbackUtilityLibrary final : public QtUtilityLibrary {
public:
    std::optional<bool> GetConnectedState(long&) override { return true; }
    std::optional<bool> ConnectNetwork(long, const std::string&, long) override { return true; }
};

class DesktopPlatform {
public:
    // WebEngine starts slowly on a small machine; every wait allows this much.
    static constexpr long kPatience = 60000;
    static constexpr const char* kProductCode = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

    DesktopPlatform();
    ~DesktopPlatform();
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    // False (with the reason in Error()) when the folder or the library copy could not be set up.
    bool IsReady() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    Platform& platform() { return m_platform; }
    QtEventLoop& loop() { return m_loop; }
    QtFormRenderer& renderer() { return m_renderer; }
    const std::filesystem::path& ProgramFolder() const { return m_folder; }
    // The newest browser control the windows made, while it lives.
    QtWebBrowserControl* LastBrowser() const { return m_lastBrowser.data(); }

    bool WaitFor(const std::function<bool()>& done, long timeoutMs = kPatience);
    // Lets everything queued so far run, deferred deletions included.
    void Drain();

private:
    std::string m_error;
    std::filesystem::path m_folder;
    QtEventLoop m_loop;
    QtHttpFetcher m_http;
    PugiXmlService m_xml{&m_http, &m_loop};
    LoopbackUtilityLibrary m_utility;
    QtResourceLibrary m_resources;
    LoadedForms m_loadedForms;
    QPointer<QtWebBrowserControl> m_lastBrowser;
    QtFormRenderer m_renderer;
    RecordingProcessLauncher m_processes;
    RecordingDesktop m_desktop;
    QtTextCase m_textCase;
    QtDownloaderFactory m_downloads{m_folder.string()};
    Platform m_platform{.xml = &m_xml,
                        .loop = &m_loop,
                        .utility = &m_utility,
                        .resources = &m_resources,
                        .forms = &m_renderer,
                        .loadedForms = &m_loadedForms,
                        .downloads = &m_downloads,
                        .processes = &m_processes,
                        .desktop = &m_desktop,
                        .textCase = &m_textCase,
                        .programFolder = m_folder.string()};
};

} // namespace KDAutoUpdate
