#pragma once
// A minimal HTTP/1.1 server on 127.0.0.1 for pages of a test's own: a fixed body by path
// (the query is ignored), 404 for every other path, and a count of the requests per path.

#include <QByteArray>
#include <QTcpServer>

#include <map>
#include <set>
#include <string>

namespace KDAutoUpdate {

class LocalPageServer {
public:
    LocalPageServer();

    bool IsListening() const { return m_server.isListening(); }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path = {}) const;
    void Set(const std::string& path, QByteArray html);
    int Hits(const std::string& path) const;
    // Requests for `path` are counted but never answered.
    void Hold(const std::string& path) { m_held.insert(path); }

private:
    void Serve(QTcpSocket* socket);

    QTcpServer m_server;
    std::map<std::string, QByteArray> m_pages;
    std::map<std::string, int> m_hits;
    std::set<std::string> m_held;
};

} // namespace KDAutoUpdate
