// A check round trip through the running D-Bus service against `curl -s` of the same URL: a
// synchronous CheckMessages on an agent, called from this process and as a whole `busctl`
// process, and curl as a whole process. Prints the medians and the ratios.

#include <QCoreApplication>
#include <QDBusVariant>

#include <cstdlib>

#include "PrivateBusService.h"

namespace {

double RunProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    return TimeMs([&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(60000);
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    const QString product = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";
    QProcess updates;
    updates.start(KDAU_APP_PATH, {"serve", "--port", "0"});
    PrivateBusService service;
    const QString agent = service.ok() ? service.CreateAgent() : QString();
    if (agent.isEmpty() || !updates.waitForReadyRead(15000)) {
        std::fprintf(stderr, "the services did not start\n");
        return 1;
    }
    const QString base = QString::fromUtf8(updates.readLine()).trimmed();
    for (const auto& [name, value] : {std::pair<QString, QVariant>{"BaseURL", base},
                                      {"ProductCode", product},
                                      {"MajorVer", 5},
                                      {"MinorVer", 0},
                                      {"Revision", 2}}) {
        QDBusMessage set = QDBusMessage::createMethodCall(PrivateBusService::kService, agent,
                                                          "org.freedesktop.DBus.Properties", "Set");
        set << QStringLiteral("org.kdautoupdate.AuAgent") << name
            << QVariant::fromValue(QDBusVariant(value));
        service.bus().call(set);
    }
    const QString url = base + "/CheckUpdate.aspx?TestMode=False&ProductCode=" + product +
                        "&Version=5.0.2&UILang=1031&OpType=check&CompatMode=2";
    // Silent, synchronous, by hand: the call returns once the answer is read.
    QDBusMessage check = QDBusMessage::createMethodCall(
        PrivateBusService::kService, agent, "org.kdautoupdate.AuAgent", "CheckMessages");
    check << true << false << false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", service.address());
    const QStringList busctl = {"--user",
                                "call",
                                PrivateBusService::kService,
                                agent,
                                "org.kdautoupdate.AuAgent",
                                "CheckMessages",
                                "bbb",
                                "true",
                                "false",
                                "false"};

    std::vector<double> call, tool, curl;
    for (int i = 0; i < rounds; ++i) {
        QDBusMessage reply;
        call.push_back(TimeMs([&] { reply = service.bus().call(check); }));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "CheckMessages failed: %s\n", qPrintable(reply.errorMessage()));
            return 1;
        }
        tool.push_back(RunProcess("busctl", busctl, env));
        curl.push_back(RunProcess("curl", {"-s", "-o", "/dev/null", "-g", url}, env));
        updates.readAll();
    }
    const double c = Median(call), t = Median(tool), u = Median(curl);
    std::printf("check round trip through the D-Bus service, median of %d on 127.0.0.1\n", rounds);
    std::printf("  CheckMessages call from a host connection : %7.2f ms\n", c);
    std::printf("  busctl call CheckMessages (whole process) : %7.2f ms\n", t);
    std::printf("  curl -s of the same URL (whole process)   : %7.2f ms\n", u);
    std::printf("  ratio call/curl: %.2f   busctl/curl: %.2f\n", c / u, t / u);
    updates.kill();
    updates.waitForFinished();
    return 0;
}
