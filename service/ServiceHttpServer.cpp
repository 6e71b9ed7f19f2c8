#include "service/ServiceHttpServer.h"

namespace KDAutoUpdate {

ServiceHttpServer::ServiceHttpServer(Handler handler, QObject* parent)
    : QAbstractHttpServer(parent), m_handler(std::move(handler)) {}

QHttpServerResponder ServiceHttpServer::Responder(const QHttpServerRequest& request,
                                                  QTcpSocket* socket) {
    return makeResponder(request, socket);
}

bool ServiceHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    m_handler(request, socket);
    return true;
}

// Not reached: handleRequest answers every request itself, unknown addresses with 404.
void ServiceHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

} // namespace KDAutoUpdate
