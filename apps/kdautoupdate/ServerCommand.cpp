#include "ServerCommand.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "platform/qt/HostPlatform.h"
#include "QtUiDriver.h"
#include "ScriptedUiDriver.h"
#include "ShellFormPrinter.h"
#include "dbus/DBusAgentService.h"
#include "dbus/DBusIntrospection.h"
#include "dbus/DBusNames.h"
#include "platform/qt/QtWebBrowserControl.h"

namespace KDAutoUpdate {

namespace {

constexpr int kFirstCallWaitMs = 10000;

struct ServerOptions {
    QString address;
    bool desktop = true;
    bool trace = false;
    long uiTimeoutMs = 30000;
    int idleExitMs = 10000;
    int sinkTimeoutMs = 5000;
    bool introspect = false;
    QString introspectFolder;
};

const char* const kUsage =
    "Usage: kdautoupdate server [--address ADDRESS] [--ui desktop|scripted] [--trace]\n"
    "         [--ui-timeout MS] [--idle-exit MS] [--event-timeout MS]\n"
    "       kdautoupdate server --introspect [DIR]\n";

bool ParseServerOptions(int argc, char** argv, ServerOptions& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--address" && hasValue)
            o.address = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--ui" && hasValue && std::strcmp(argv[i + 1], "scripted") == 0)
            o.desktop = (++i, false);
        else if (a == "--ui" && hasValue && std::strcmp(argv[i + 1], "desktop") == 0)
            o.desktop = (++i, true);
        else if (a == "--trace")
            o.trace = true;
        else if (a == "--ui-timeout" && hasValue)
            o.uiTimeoutMs = std::strtol(argv[++i], nullptr, 10);
        else if (a == "--idle-exit" && hasValue)
            o.idleExitMs = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
        else if (a == "--event-timeout" && hasValue)
            o.sinkTimeoutMs = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
        else if (a == "--introspect") {
            o.introspect = true;
            if (hasValue && argv[i + 1][0] != '-')
                o.introspectFolder = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr, "kdautoupdate server: unknown option %s\n%s", argv[i], kUsage);
            return false;
        }
    }
    return true;
}

// Prints every interface, or writes one file per interface into `folder`.
int Introspect(const QString& folder) {
    for (const std::string& name : PublishedInterfaceNames()) {
        const std::string xml = IntrospectionDocument(name);
        if (folder.isEmpty()) {
            std::cout << xml;
            continue;
        }
        QDir().mkpath(folder);
        QFile file(folder + QLatin1Char('/') + QString::fromStdString(name) +
                   QStringLiteral(".xml"));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(xml.data(), static_cast<qint64>(xml.size())) < 0)
            return 1;
    }
    return 0;
}

} // namespace

int RunServerCommand(int argc, char** argv) {
    ServerOptions o;
    if (!ParseServerOptions(argc, argv, o))
        return 2;
    if (o.introspect)
        return Introspect(o.introspectFolder);

    // Every call from a host crosses from Qt's D-Bus thread to the agent's thread; Qt's own
    // event dispatcher wakes that thread sooner than the GLib one (a property read takes about
    // a quarter less time).
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    std::unique_ptr<QCoreApplication> app;
    if (o.desktop) {
        QtWebBrowserControl::RegisterSchemes();
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QDBusConnection bus = o.address.isEmpty()
                              ? QDBusConnection::sessionBus()
                              : QDBusConnection::connectToBus(o.address, QStringLiteral("kdau"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "kdautoupdate server: no bus: %s\n",
                     bus.lastError().message().toLocal8Bit().constData());
        return 1;
    }

    HostPlatform host(o.desktop ? UiMode::Desktop : UiMode::Scripted, o.uiTimeoutMs);
    std::unique_ptr<UiDriver> ui;
    std::unique_ptr<ShellFormPrinter> printer;
    if (o.trace) {
        if (o.desktop)
            ui = std::make_unique<QtUiDriver>(*host.Desktop(), *host.platform().loop, 0);
        else
            ui = std::make_unique<ScriptedUiDriver>(*host.Scripted());
        printer = std::make_unique<ShellFormPrinter>(std::cout, ui.get(), host.platform().loop);
    }

    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, app.get(), &QCoreApplication::quit);
    DBusAgentService::Options serviceOptions;
    serviceOptions.sinkTimeoutMs = o.sinkTimeoutMs;
    serviceOptions.agentCountChanged = [&idle, &o](int count) {
        if (count == 0)
            idle.start(o.idleExitMs);
        else
            idle.stop();
    };
    DBusAgentService service(bus, host.platform(), serviceOptions);
    if (!service.Register()) {
        std::fprintf(stderr,
                     "kdautoupdate server: %s is taken or the objects could not be "
                     "registered\n",
                     DBusNames::kService);
        return 1;
    }
    std::cout << "Ready " << DBusNames::kService << std::endl;
    // A service started for a host gets its first call soon, but not within a short idle time.
    idle.start(std::max(o.idleExitMs, kFirstCallWaitMs));
    const int rc = app->exec();
    std::cout.flush();
    return rc;
}

} // namespace KDAutoUpdate
