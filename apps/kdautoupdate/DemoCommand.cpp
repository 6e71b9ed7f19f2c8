#include "DemoCommand.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "AutomationShell.h"
#include "platform/qt/HostPlatform.h"
#include "QtUiDriver.h"
#include "ScriptedUiDriver.h"
#include "platform/EventLoop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtWebBrowserControl.h"
#include "service/ServeCommand.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

struct DemoOptions {
    bool desktop = false;
    bool interactive = false;
    long paceMs = -1;
    long rate = 400;
    std::string screenshots; // folder, when taking pictures
};

bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strlen(platform) > 0)
        return std::strcmp(platform, "offscreen") != 0 && std::strcmp(platform, "minimal") != 0;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// The road as automation statements: a host's start with a check, the user's way through the
// windows, and the host's next start with the reminder.
std::string RoadScript(const std::string& base, const DemoOptions& o) {
    const std::string pace = std::to_string(o.paceMs);
    const bool pictures = !o.screenshots.empty();
    auto grab = [&](const std::string& form, const std::string& file) {
        return pictures ? "grab " + form + " " + o.screenshots + "/" + file + "\n" : std::string();
    };
    auto grabAnswer = [&](const std::string& file) {
        return pictures ? " grab:" + o.screenshots + "/" + file : std::string();
    };
    std::string s;
    s += "echo == The host starts: the agent serves Keldra Studio 5.0.2\n";
    s += "BaseURL = " + base + "\nProductCode = " + kProduct +
         "\nMajorVer = 5\nMinorVer = 0\nRevision = 2\nProductLCID = 1031\n";
    s += "set state = GetProductInfo\nstate.DoNotNotifyLastMessage = False\n"
         "state.InstallLastUpdateOnStartUp = False\nstate.Persist\n";
    s += "echo == 1. CheckMessages: the service has news, the notification dialog opens\n";
    s += "CheckMessages\nwait NewMessages 30000\nsleep " + pace + "\n";
    s += grab("dlgCheckMessages", "dlgCheckMessages.png");
    if (o.interactive) {
        s += "echo == Your turn: read the messages, install an update, close the window.\n";
        s += "wait ProcessCompleted 86400000\n";
    } else {
        s += "echo == 2. Yes: the messages window loads the service page\n";
        s += "ui dlgCheckMessages.cmdYes click\nwait Page 60000\nmessages\nsleep " + pace + "\n";
        if (pictures)
            s += "sleep 1500\n"; // the page's first frames
        s += grab("frmMessages", "frmMessages.png");
        s += "echo == 3. The user picks the sample projects of the patch, then installs the "
             "5.1.0 update\n";
        s += "ui frmMessages click [auButtonType=featurestatechooser] [forFeature=SampleProjects]\n"
             "sleep " +
             pace + "\n";
        s += "answer dlgAfterDownload pause:" + pace + grabAnswer("dlgAfterDownload.png") +
             " optInstallAction(1) pause:" + pace + " cmdOK\n";
        if (pictures)
            s += "answer dlgDownload pause:1200 grab:" + o.screenshots + "/dlgDownload.png\n";
        s += "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-510]\n";
        s += "echo == 4. Installation at the next start is recorded; the user closes the window\n";
        s += "sleep " + pace + "\nui frmMessages click #cmdClose\nwait ProcessCompleted 30000\n";
    }
    s += "echo == 5. The host ends (the store is saved) and starts again: the reminder\n";
    s += "release\ncreate\nProductCode = " + std::string(kProduct) + "\n";
    s += "set pending = GetLastInstallableUpdate\nshow pending\n";
    if (!o.interactive)
        s += "answer dlgInstallLastUpdate pause:" + pace + grabAnswer("dlgInstallLastUpdate.png") +
             " cmdYes\n";
    s += "CheckInstallableUpdates\nGetLastInstallableUpdate\n";
    return s;
}

bool ParseOptions(int argc, char** argv, int first, DemoOptions& o) {
    o.desktop = HasDisplay();
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--ui") {
            const char* v = next();
            if (!v || (std::strcmp(v, "desktop") != 0 && std::strcmp(v, "scripted") != 0)) {
                std::fprintf(stderr, "kdautoupdate demo: --ui takes desktop or scripted\n");
                return false;
            }
            o.desktop = std::strcmp(v, "desktop") == 0;
        } else if (a == "--interactive") {
            o.interactive = true;
        } else if (a == "--pace" || a == "--rate") {
            const char* v = next();
            char* end = nullptr;
            const long n = v ? std::strtol(v, &end, 10) : -1;
            if (!v || *end != '\0' || n < 0) {
                std::fprintf(stderr, "kdautoupdate demo: %s takes a number\n", a.c_str());
                return false;
            }
            (a == "--pace" ? o.paceMs : o.rate) = n;
        } else {
            std::fprintf(stderr, "kdautoupdate demo: unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

int RunRoad(int argc, char** argv, DemoOptions o) {
    if (o.paceMs < 0)
        o.paceMs = o.desktop && o.screenshots.empty() ? 1500 : 0;
    if (o.interactive && !o.desktop) {
        std::fprintf(stderr, "kdautoupdate demo: --interactive needs a display\n");
        return 2;
    }
    std::unique_ptr<QCoreApplication> app;
    if (o.desktop) {
        QtWebBrowserControl::RegisterSchemes();
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const QString folder = QCoreApplication::applicationDirPath();
    if (!qEnvironmentVariableIsSet("KDAU_INSTALL_RECORD"))
        qputenv("KDAU_INSTALL_RECORD", (folder + "/demo-installs.log").toUtf8());
    const QString record = qEnvironmentVariable("KDAU_INSTALL_RECORD");
    QFile::remove(record);

    ServiceOptions serviceOptions;
    serviceOptions.catalogueFolder = DefaultCatalogueFolder();
    serviceOptions.packageBytesPerSecond = o.rate;
    UpdateService service(serviceOptions);
    if (!service.Start(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "kdautoupdate demo: the update service could not start: %s\n",
                     service.ErrorString().toLocal8Bit().constData());
        return 2;
    }
    std::cout << "== Keldra Update Service demo (" << (o.desktop ? "desktop" : "text") << ")\n"
              << "== Update service with the sample catalogue at "
              << service.BaseUrl().toStdString() << "\n";

    HostPlatform host(o.desktop ? UiMode::Desktop : UiMode::Scripted, 60000);
    std::unique_ptr<UiDriver> ui;
    if (o.desktop)
        ui = std::make_unique<QtUiDriver>(*host.Desktop(), *host.platform().loop, o.paceMs);
    else
        ui = std::make_unique<ScriptedUiDriver>(*host.Scripted());
    AutomationShell shell(host.platform(), std::cout, ui.get());
    if (QtFormRenderer* forms = host.Desktop())
        shell.SetGrabber([forms](const std::string& form, const std::string& file) {
            return forms->Grab(form, file);
        });
    std::istringstream script(RoadScript(service.BaseUrl().toStdString(), o));
    shell.Run(script);

    // The installer runs on its own; give it a moment to leave its record.
    host.platform().loop->RunUntil([&] { return QFile::exists(record); }, 5000);
    QFile file(record);
    if (file.open(QIODevice::ReadOnly))
        std::cout << "== The installer ran and recorded: " << file.readAll().trimmed().toStdString()
                  << "\n   (" << record.toStdString() << ")\n";
    std::cout << "== Store beside the program: " << folder.toStdString() << "/updateinfo.xml\n";
    return 0;
}

} // namespace

int RunDemoCommand(int argc, char** argv) {
    DemoOptions o;
    if (!ParseOptions(argc, argv, 2, o))
        return 2;
    return RunRoad(argc, argv, o);
}

int RunScreenshotsCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: kdautoupdate screenshots DIR\n");
        return 2;
    }
    if (!QDir().mkpath(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "kdautoupdate screenshots: cannot make %s\n", argv[2]);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    DemoOptions o;
    o.desktop = true;
    o.rate = 200;
    o.screenshots = QDir(QString::fromLocal8Bit(argv[2])).absolutePath().toStdString();
    return RunRoad(argc, argv, o);
}

} // namespace KDAutoUpdate
