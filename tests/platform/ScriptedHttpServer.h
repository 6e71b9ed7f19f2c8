#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace KDAutoUpdate {

// HTTP/1.1 on 127.0.0.1 with scripted answers by path (and one for every other path).
// Remembers the paths asked for.
class ScriptedHttpServer {
public:
    struct Answer {
        int status = 200;
        std::string body;
        // Content-Length sent; -1: the body's size; -2: none.
        qint64 contentLength = -1;
        // The connection closes after this many body bytes; -1: after the whole body.
        qint64 closeAfter = -1;
        // Stops sending after this many body bytes and keeps the connection open.
        qint64 holdAfter = -1;
        // Sent in pieces of this many bytes, one piece per interval; 0: all at once.
        qint64 pieceBytes = 0;
        int pieceIntervalMs = 0;
        std::string location; // when not empty
        std::string contentType = "application/octet-stream";
        // Further header lines, each ended by "\r\n".
        std::string headers;
        // The first piece again and again until the peer goes.
        bool endless = false;
    };

    ScriptedHttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                Accept(socket);
        });
    }

    // The answer to every path without one of its own.
    void Set(Answer answer) { m_answer = std::move(answer); }
    void SetFor(const std::string& path, Answer answer) { m_byPath[path] = std::move(answer); }
    std::string Url(const std::string& path, const char* host = "127.0.0.1") const {
        return std::string("http://") + host + ":" + std::to_string(m_server.serverPort()) + path;
    }
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    void Accept(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->readAll());
            if (request->indexOf("\r\n\r\n") < 0)
                return;
            const QList<QByteArray> line = request->left(request->indexOf("\r\n")).split(' ');
            request->clear();
            m_paths.push_back(line.size() > 1 ? line[1].toStdString() : std::string());
            const auto own = m_byPath.find(m_paths.back());
            Respond(socket, own != m_byPath.end() ? own->second : m_answer);
        });
    }

    void Respond(QTcpSocket* socket, const Answer& a) {
        const qint64 length =
            a.contentLength == -1 ? static_cast<qint64>(a.body.size()) : a.contentLength;
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(a.status) + " Scripted\r\nContent-Type: " +
            QByteArray::fromStdString(a.contentType + "\r\nConnection: close\r\n" + a.headers);
        if (length >= 0)
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        if (!a.location.empty())
            head += "Location: " + QByteArray::fromStdString(a.location) + "\r\n";
        socket->write(head + "\r\n");
        qint64 limit = static_cast<qint64>(a.body.size());
        if (a.closeAfter >= 0)
            limit = std::min(limit, a.closeAfter);
        if (a.holdAfter >= 0)
            limit = std::min(limit, a.holdAfter);
        const QByteArray body = QByteArray::fromStdString(a.body).left(limit);
        const bool close = a.holdAfter < 0 && !a.endless;
        if (a.pieceBytes <= 0) {
            socket->write(body);
            if (close)
                socket->disconnectFromHost();
            return;
        }
        // The timer is the socket's child: it goes with the connection.
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qint64>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [=] {
            const QByteArray piece = body.mid(a.endless ? 0 : *sent, a.pieceBytes);
            *sent += piece.size();
            socket->write(piece);
            if (!a.endless && *sent >= body.size()) {
                timer->stop();
                if (close)
                    socket->disconnectFromHost();
            }
        });
        timer->start(a.pieceIntervalMs);
    }

    QTcpServer m_server;
    Answer m_answer;
    std::map<std::string, Answer> m_byPath;
    std::vector<std::string> m_paths;
};

} // namespace KDAutoUpdate
