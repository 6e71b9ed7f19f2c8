#include "service/RawRequestTcpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace KDAutoUpdate {

namespace {

constexpr qsizetype kMaxLine = 64 * 1024;
// Request lines kept for one connection before the HTTP server takes them.
constexpr qsizetype kMaxPendingRequests = 64;
// What one connection may have read ahead of the HTTP server: room for one request of the
// longest line and its headers. Requests a client sends beyond it, pipelined or not, wait in
// the kernel (which then slows the client) until the ones before them are answered, so a
// connection costs the service this much, however much its client sends at once.
constexpr qint64 kMaxReadAhead = 4 * kMaxLine;

} // namespace

std::optional<RawRequestTcpServer::RequestLine>
RawRequestTcpServer::TakeRequestLine(QTcpSocket* socket) {
    const auto found = m_streams.find(socket);
    if (found == m_streams.end() || found->requests.isEmpty())
        return std::nullopt;
    return found->requests.takeFirst();
}

void RawRequestTcpServer::SetTimeouts(int idleMs, int requestMs) {
    m_idleMs = idleMs;
    m_requestMs = requestMs;
}

void RawRequestTcpServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setReadBufferSize(kMaxReadAhead);
    Stream stream;
    stream.idle = new QTimer(socket);
    stream.request = new QTimer(socket);
    for (QTimer* timer : {stream.idle, stream.request}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->abort(); });
    }
    stream.idle->start(m_idleMs);
    // An answer that keeps going out counts as traffic too.
    connect(socket, &QTcpSocket::bytesWritten, stream.idle,
            [timer = stream.idle, this] { timer->start(m_idleMs); });
    m_streams.insert(socket, stream);
    // Connected before the HTTP server connects its own reader, so it sees the bytes first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Record(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_streams.remove(socket); });
    addPendingConnection(socket);
}

// The HTTP server reads everything available on each readyRead, so whatever is available now
// has not been seen before.
void RawRequestTcpServer::Record(QTcpSocket* socket) {
    const auto found = m_streams.find(socket);
    if (found == m_streams.end())
        return;
    Stream& stream = *found;
    Feed(stream, socket->peek(socket->bytesAvailable()));
    stream.idle->start(m_idleMs);
    const bool midRequest = stream.state != Stream::State::RequestLine || !stream.line.isEmpty();
    if (!midRequest)
        stream.request->stop();
    else if (!stream.request->isActive())
        stream.request->start(m_requestMs);
}

void RawRequestTcpServer::Feed(Stream& stream, const QByteArray& bytes) {
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (stream.state == Stream::State::Body) {
            const qint64 skip = std::min<qint64>(stream.bodyLeft, bytes.size() - i);
            stream.bodyLeft -= skip;
            i += static_cast<qsizetype>(skip);
            if (stream.bodyLeft == 0)
                stream.state = Stream::State::RequestLine;
            continue;
        }
        const qsizetype end = bytes.indexOf('\n', i);
        const qsizetype stop = end < 0 ? bytes.size() : end;
        if (stream.line.size() < kMaxLine)
            stream.line.append(bytes.mid(i, std::min(stop - i, kMaxLine - stream.line.size())));
        i = stop;
        if (end >= 0) {
            ++i;
            CompleteLine(stream);
        }
    }
}

void RawRequestTcpServer::CompleteLine(Stream& stream) {
    QByteArray line = std::move(stream.line);
    stream.line.clear();
    if (line.endsWith('\r'))
        line.chop(1);
    if (stream.state == Stream::State::RequestLine) {
        // Blank lines between requests are allowed and ignored.
        if (line.trimmed().isEmpty())
            return;
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (stream.requests.size() >= kMaxPendingRequests)
            stream.requests.removeFirst();
        stream.requests.append({parts.value(0), parts.value(1), parts.value(2) == "HTTP/1.0"});
        stream.state = Stream::State::Headers;
        stream.contentLength = 0;
        return;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = colon > 0 ? line.left(colon).trimmed().toLower() : QByteArray();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (name == "content-length")
            stream.contentLength = std::max<qint64>(0, value.toLongLong());
        else if (name == "connection" && !stream.requests.isEmpty())
            stream.requests.last().close =
                value.contains("close") ||
                (stream.requests.last().close && !value.contains("keep-alive"));
        return;
    }
    stream.bodyLeft = stream.contentLength;
    stream.state = stream.bodyLeft > 0 ? Stream::State::Body : Stream::State::RequestLine;
}

} // namespace KDAutoUpdate
