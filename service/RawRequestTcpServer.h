#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>

#include <optional>

class QTcpSocket;
class QTimer;

namespace KDAutoUpdate {

// The listening socket of the service. The HTTP server reads the requests from the connections
// it hands out, but hands on only a decoded address; to log and evaluate the query exactly as
// the agent sent it, this server looks at the bytes of every connection just before the HTTP
// server reads them (its readyRead slot runs first) and keeps each request line.
class RawRequestTcpServer : public QTcpServer {
    Q_OBJECT

public:
    struct RequestLine {
        QByteArray method;
        QByteArray target; // path and query, untouched
        // HTTP/1.0 without keep-alive, or "Connection: close": the client wants the
        // connection closed after the answer.
        bool close = false;
    };

    using QTcpServer::QTcpServer;

    // No traffic for `idleMs`, or a request unfinished `requestMs` after its first byte: the
    // connection is aborted.
    void SetTimeouts(int idleMs, int requestMs);

    // The oldest request line of `socket` not taken yet.
    std::optional<RequestLine> TakeRequestLine(QTcpSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // Follows the connection's bytes far enough to find where each request starts.
    struct Stream {
        enum class State { RequestLine, Headers, Body };
        State state = State::RequestLine;
        QByteArray line;
        qint64 contentLength = 0;
        qint64 bodyLeft = 0;
        QList<RequestLine> requests;
        QTimer* idle = nullptr;    // owned by the socket
        QTimer* request = nullptr; // owned by the socket
    };

    void Record(QTcpSocket* socket);
    static void Feed(Stream& stream, const QByteArray& bytes);
    static void CompleteLine(Stream& stream);

    QHash<QTcpSocket*, Stream> m_streams;
    int m_idleMs = 30000;
    int m_requestMs = 10000;
};

} // namespace KDAutoUpdate
