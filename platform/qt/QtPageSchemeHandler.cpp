#include "platform/qt/QtPageSchemeHandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>

namespace KDAutoUpdate {

QtPageSchemeHandler::QtPageSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

QUrl QtPageSchemeHandler::Add(QByteArray body, QByteArray contentType) {
    const QString key = QString::number(m_nextKey++);
    m_pages[key] = Page{std::move(body), std::move(contentType)};
    return QUrl(QString::fromLatin1(kScheme) + QStringLiteral(":/") + key);
}

void QtPageSchemeHandler::Remove(const QUrl& url) {
    m_pages.erase(KeyOf(url));
}

QString QtPageSchemeHandler::KeyOf(const QUrl& url) {
    QString path = url.path();
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    return path;
}

void QtPageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const auto it = m_pages.find(KeyOf(job->requestUrl()));
    if (job->requestMethod() != "GET" || it == m_pages.end()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(it->second.body);
    job->reply(it->second.contentType, buffer);
}

} // namespace KDAutoUpdate
