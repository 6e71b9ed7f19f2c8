#pragma once
// For the D-Bus benchmarks: a private bus of their own with `kdautoupdate server` on it, and
// the median of a series of timings.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchFigures.h"

class PrivateBusService {
public:
    // Starts the bus and the service; `ok()` tells whether both run.
    PrivateBusService() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!m_daemon.waitForReadyRead(10000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_server.start(KDAU_APP_PATH, {"server", "--address", m_address, "--ui", "scripted"});
        if (!m_server.waitForReadyRead(15000))
            return;
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_address, QStringLiteral("bench")));
    }
    ~PrivateBusService() {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
        m_server.kill();
        m_server.waitForFinished();
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    bool ok() const { return m_bus && m_bus->isConnected(); }
    QDBusConnection& bus() { return *m_bus; }
    const QString& address() const { return m_address; }

    // A new agent held by this connection; empty on failure.
    QString CreateAgent() {
        const QDBusMessage reply = bus().call(QDBusMessage::createMethodCall(
            kService, "/org/kdautoupdate/KDAutoUpdate", kService, "CreateAgent"));
        return reply.arguments().isEmpty() ? QString()
                                           : reply.arguments()[0].value<QDBusObjectPath>().path();
    }

    static constexpr const char* kService = "org.kdautoupdate.KDAutoUpdate";

private:
    QProcess m_daemon;
    QProcess m_server;
    QString m_address;
    std::unique_ptr<QDBusConnection> m_bus;
};

// Milliseconds of one run of `work`.
inline double TimeMs(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

using KDAutoUpdate::Bench::Median;
