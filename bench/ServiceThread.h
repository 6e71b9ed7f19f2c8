#pragma once
// The embedded update service on a thread of its own, so that the main thread can wait for curl
// or a child process while it serves.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

#include "service/UpdateService.h"

namespace KDAutoUpdate::Bench {

class ServiceThread {
public:
    // Serves the catalogue folder on a free port of 127.0.0.1.
    explicit ServiceThread(const QString& catalogue) {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this, catalogue] {
                m_service = std::make_unique<UpdateService>(catalogue);
                if (m_service->Start(QHostAddress::LocalHost, 0))
                    m_baseUrl = m_service->BaseUrl();
                else
                    m_error = m_service->ErrorString();
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServiceThread() {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_service.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
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

} // namespace KDAutoUpdate::Bench
