#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponder>

#include <functional>

namespace KDAutoUpdate {

// Qt's HTTP server reads and parses the requests; every complete request goes to one handler,
// which routes, answers and logs it in one place.
class ServiceHttpServer final : public QAbstractHttpServer {
public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*)>;

    explicit ServiceHttpServer(Handler handler, QObject* parent = nullptr);

    static QHttpServerResponder Responder(const QHttpServerRequest& request, QTcpSocket* socket);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler m_handler;
};

} // namespace KDAutoUpdate
