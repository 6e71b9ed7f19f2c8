// A property read through the D-Bus service against the bus daemon's own GetId, from one
// client connection, interleaved call by call. Prints the median of each and their ratio.

#include <QCoreApplication>

#include <cstdlib>

#include "PrivateBusService.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5000;
    PrivateBusService service;
    const QString agent = service.ok() ? service.CreateAgent() : QString();
    if (agent.isEmpty()) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    QDBusMessage read = QDBusMessage::createMethodCall(PrivateBusService::kService, agent,
                                                       "org.freedesktop.DBus.Properties", "Get");
    read << QStringLiteral("org.kdautoupdate.AuAgent") << QStringLiteral("UILanguageLCID");
    const QDBusMessage getId = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");

    const QDBusMessage ping = QDBusMessage::createMethodCall(
        PrivateBusService::kService, agent, "org.freedesktop.DBus.Peer", "Ping");
    std::vector<double> property, daemon, pings;
    bool right = true;
    for (int i = 0; i < rounds + 100; ++i) {
        QDBusMessage a, b;
        const double p = TimeMs([&] { a = service.bus().call(read); });
        const double d = TimeMs([&] { b = service.bus().call(getId); });
        right = right && a.type() == QDBusMessage::ReplyMessage &&
                b.type() == QDBusMessage::ReplyMessage;
        const double q = TimeMs([&] { service.bus().call(ping); });
        if (i >= 100) { // the first calls warm up both sides
            pings.push_back(q);
            property.push_back(p);
            daemon.push_back(d);
        }
    }
    if (!right) {
        std::fprintf(stderr, "a call failed\n");
        return 1;
    }
    const double p = Median(property) * 1000, d = Median(daemon) * 1000;
    std::printf("D-Bus round trips from one client, median of %d each\n", rounds);
    std::printf("  Properties.Get UILanguageLCID of an agent: %8.1f us\n", p);
    std::printf("  org.freedesktop.DBus.GetId (bus daemon) : %8.1f us\n", d);
    std::printf("  Peer.Ping of the service (no agent)     : %8.1f us\n", Median(pings) * 1000);
    std::printf("  ratio property/GetId: %.2f\n", p / d);
    return 0;
}
