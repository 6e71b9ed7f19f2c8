#pragma once
// Further threads that serve the port of the main thread's service, each with a service of its
// own: its own copy of the catalogue, answer cache and log stream. The kernel spreads the
// connections over their sockets (ServiceOptions::sharePort).

#include <QHostAddress>
#include <QString>

#include <memory>
#include <vector>

#include "service/ServiceOptions.h"

class QThread;

namespace KDAutoUpdate {

class ServiceWorkers {
public:
    ServiceWorkers() = default;
    ServiceWorkers(const ServiceWorkers&) = delete;
    ServiceWorkers& operator=(const ServiceWorkers&) = delete;
    // Ends the threads' loops and waits for them.
    ~ServiceWorkers();

    // Starts `count` threads serving `port` with `options` (sharePort is set for them); each
    // logs to a stream of its own on standard output when `log` is set. False with `error`
    // when one of them could not start.
    bool Start(int count, ServiceOptions options, const QHostAddress& address, quint16 port,
               bool log, QString& error);

private:
    std::vector<std::unique_ptr<QThread>> m_threads;
};

} // namespace KDAutoUpdate
