#include "service/RawRequestTcpServer.h"

#include <QTcpSocket>

namespace KDAutoUpdate {

namespace {

constexpr qsizetype kMaxLine = 64 * 1024;

} // namespace

std::optional<RawRequestTcpServer::RequestLine>
RawRequestTcpServer::TakeRequestLine(QTcpSocket* socket) {
    const auto found = m_streams.find(socket);
    if (found == m_streams.end() || found->requests.isEmpty())
        return std::nullopt;
    return found->requests.takeFirst();
}

void RawRequestTcpServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    m_streams.insert(socket, Stream{});
    // Connected before the HTTP server connects its own reader, so it sees the bytes first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Record(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_streams.remove(socket); });
    addPendingConnection(socket);
}

// The HTTP server reads everything available on each readyRead, so whatever is available now
// has not been seen before.
void RawRequestTcpServer::Record(QTcpSocket* socket) {
    const auto found = m_streams.find(socket);
    if (found != m_streams.end())
        Feed(*found, socket->peek(socket->bytesAvailable()));
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
        stream.requests.append({parts.value(0), parts.value(1)});
        stream.state = Stream::State::Headers;
        stream.contentLength = 0;
        return;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 &&
            line.left(colon).trimmed().compare("content-length", Qt::CaseInsensitive) == 0)
            stream.contentLength = std::max<qint64>(0, line.mid(colon + 1).trimmed().toLongLong());
        return;
    }
    stream.bodyLeft = stream.contentLength;
    stream.state = stream.bodyLeft > 0 ? Stream::State::Body : Stream::State::RequestLine;
}

} // namespace KDAutoUpdate
