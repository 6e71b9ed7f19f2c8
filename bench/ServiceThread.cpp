#include "ServiceThread.h"

#include <QHostAddress>

#include "service/UpdateService.h"

namespace KDAutoUpdate::Bench {

ServiceThread::ServiceThread(const QString& catalogue) {
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

ServiceThread::~ServiceThread() {
    QMetaObject::invokeMethod(
        &m_context, [this] { m_service.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

} // namespace KDAutoUpdate::Bench
