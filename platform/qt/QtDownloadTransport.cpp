#include "platform/qt/QtDownloadTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <algorithm>

#include "platform/qt/QtRedirectGuard.h"

namespace KDAutoUpdate {

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
// Bytes Qt may hold for the reply before it pauses reading the socket.
constexpr qint64 kReadBufferSize = 4 * 1024 * 1024;

bool IsRedirect(int status) {
    return status >= 300 && status < 400 && status != 304;
}

IDownloadTransportEvents::End EndOf(const QNetworkReply& reply) {
    using End = IDownloadTransportEvents::End;
    if (reply.property(QtRedirectGuard::kEndedByLimit).isValid())
        return End::Failed;
    switch (reply.error()) {
    case QNetworkReply::NoError:
        return End::Complete;
    // The connection went, or nothing came for too long (Qt's transfer timeout ends a reply as
    // cancelled): worth another try.
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
        return End::Interrupted;
    default:
        return End::Failed;
    }
}

} // namespace

QtDownloadTransport::QtDownloadTransport(NetworkLimits limits)
    : m_limits(limits), m_buffer(kChunkSize), m_context(std::make_unique<QObject>()),
      m_manager(std::make_unique<QNetworkAccessManager>()) {}

QtDownloadTransport::~QtDownloadTransport() {
    Abort();
    m_context.reset();
    m_manager.reset();
}

bool QtDownloadTransport::Start(const std::string& url, const std::vector<DownloadHeader>& headers,
                                IDownloadTransportEvents& events) {
    Abort();
    const QUrl address(QString::fromStdString(url));
    const QString scheme = address.scheme().toLower();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    if (!address.isValid() || !web || address.host().isEmpty())
        return false;
    QNetworkRequest request(address);
    QtRedirectGuard::Prepare(request, m_limits);
    for (const DownloadHeader& header : headers)
        request.setRawHeader(QByteArray::fromStdString(header.name),
                             QByteArray::fromStdString(header.value));
    request.setTransferTimeout(std::max(0, m_limits.stallTimeoutMs));
    QNetworkReply* reply = m_manager->get(request);
    if (!reply)
        return false;
    QtRedirectGuard::Watch(reply);
    reply->setReadBufferSize(kReadBufferSize);
    m_reply = reply;
    m_events = &events;
    m_answered = false;
    QObject* context = m_context.get();
    QObject::connect(reply, &QNetworkReply::readyRead, context, [this] { OnReadyRead(); });
    QObject::connect(reply, &QNetworkReply::finished, context, [this] { OnFinished(); });
    return true;
}

void QtDownloadTransport::Abort() {
    QNetworkReply* reply = m_reply.data();
    m_reply.clear();
    m_events = nullptr;
    if (!reply)
        return;
    // Only this object's connections go; Qt keeps its own on the reply.
    if (m_context)
        QObject::disconnect(reply, nullptr, m_context.get(), nullptr);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
}

bool QtDownloadTransport::Answer(QNetworkReply& reply) {
    if (m_answered)
        return true;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || (IsRedirect(status.toInt()) && !reply.isFinished()))
        return false;
    std::vector<DownloadHeader> headers;
    for (const auto& [name, value] : reply.rawHeaderPairs())
        headers.push_back({name.toStdString(), value.toStdString()});
    m_answered = true;
    m_events->TransportAnswer(status.toInt(), headers);
    return true;
}

void QtDownloadTransport::OnReadyRead() {
    QNetworkReply* reply = m_reply.data();
    if (!reply || !Answer(*reply) || m_reply != reply)
        return;
    // The session may abort inside any event: then the reply is no longer this one's.
    while (m_reply == reply) {
        const qint64 got = reply->read(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
        if (got <= 0)
            break;
        m_events->TransportBody(m_buffer.data(), static_cast<std::size_t>(got));
    }
}

void QtDownloadTransport::OnFinished() {
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        OnReadyRead();
        if (m_reply != reply)
            return;
    }
    IDownloadTransportEvents* events = m_events;
    const IDownloadTransportEvents::End end = EndOf(*reply);
    m_reply.clear();
    m_events = nullptr;
    QObject::disconnect(reply, nullptr, m_context.get(), nullptr);
    reply->deleteLater();
    events->TransportEnded(end);
}

} // namespace KDAutoUpdate
