#include "tests/desktop/LocalPageServer.h"

#include <QTcpSocket>

#include <memory>

namespace KDAutoUpdate {

LocalPageServer::LocalPageServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection())
            Serve(socket);
    });
}

std::string LocalPageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
}

void LocalPageServer::Set(const std::string& path, QByteArray html) {
    m_pages[path] = std::move(html);
}

int LocalPageServer::Hits(const std::string& path) const {
    const auto it = m_hits.find(path);
    return it == m_hits.end() ? 0 : it->second;
}

void LocalPageServer::Serve(QTcpSocket* socket) {
    auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        received->append(socket->readAll());
        if (!received->contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = received->left(received->indexOf("\r\n")).split(' ');
        received->clear();
        std::string path = requestLine.size() > 1 ? requestLine[1].toStdString() : "/";
        path = path.substr(0, path.find('?'));
        ++m_hits[path];
        if (m_held.count(path))
            return;
        const auto page = m_pages.find(path);
        const bool found = page != m_pages.end();
        const QByteArray body = found ? page->second : QByteArray("not here");
        socket->write("HTTP/1.1 " + QByteArray(found ? "200 OK" : "404 Not Found") +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    });
}

} // namespace KDAutoUpdate
