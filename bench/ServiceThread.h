#pragma once
// The embedded update service on a thread of its own, so that the main thread can wait for curl
// or a child process while it serves.

#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

namespace KDAutoUpdate {

class UpdateService;

namespace Bench {

class ServiceThread {
public:
    // Serves the catalogue folder on a free port of 127.0.0.1.
    explicit ServiceThread(const QString& catalogue);
    ~ServiceThread();
    ServiceThread(const ServiceThread&) = delete;
    ServiceThread& operator=(const ServiceThread&) = delete;

    // Empty when the service did not start; Error() then says why.
    QString BaseUrl() const { return m_baseUrl; }
    QString Error() const { return m_error; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<UpdateService> m_service;
    QString m_baseUrl;
    QString m_error;
};

} // namespace Bench
} // namespace KDAutoUpdate
