#pragma once
// A listening TCP socket that further sockets of this process may bind to the same address and
// port (SO_REUSEPORT): the kernel then spreads new connections over them, one socket for each
// thread that serves.

#include <QHostAddress>
#include <QString>

namespace KDAutoUpdate {

// The listening socket's descriptor, or -1 with `error` set. Port 0 picks a free port.
qintptr OpenSharedListeningSocket(const QHostAddress& address, quint16 port, QString& error);

} // namespace KDAutoUpdate
