#include "service/PackageStream.h"

#include <QTcpSocket>

namespace KDAutoUpdate {

namespace {

constexpr int kTickMs = 50;
// What may wait in the socket before the file is read further.
constexpr qint64 kMaxPendingBytes = 256 * 1024;
// The largest piece SendTo reads and writes at once.
constexpr qint64 kPieceBytes = 128 * 1024;

} // namespace

PackageStream::PackageStream(const QString& path, QTcpSocket* socket, qint64 bytesPerSecond)
    : m_file(path), m_socket(socket), m_bytesPerSecond(std::max<qint64>(0, bytesPerSecond)) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &PackageStream::WakeReader);
    if (m_socket)
        connect(m_socket, &QIODevice::bytesWritten, this, &PackageStream::WakeReader);
}

void PackageStream::SetRange(qint64 first, qint64 count) {
    m_first = std::max<qint64>(0, first);
    m_count = count;
}

bool PackageStream::open(OpenMode mode) {
    if ((mode & WriteOnly) || !m_file.open(ReadOnly))
        return false;
    m_size = m_file.size();
    if (m_count >= 0)
        m_size = std::min(m_size, m_first + m_count);
    m_given = 0;
    m_clock.start();
    if (m_bytesPerSecond > 0)
        m_timer.start();
    // Unbuffered: a buffer would read ahead of the allowance.
    return QIODevice::open(ReadOnly | Unbuffered) && seek(std::min(m_first, m_size));
}

void PackageStream::close() {
    m_timer.stop();
    m_file.close();
    QIODevice::close();
}

void PackageStream::SendTo() {
    if (!m_socket) {
        deleteLater();
        return;
    }
    connect(m_socket, &QObject::destroyed, this, &QObject::deleteLater);
    connect(this, &QIODevice::readyRead, this, &PackageStream::Send);
    Send();
}

void PackageStream::Send() {
    m_piece.resize(kPieceBytes);
    while (m_socket && !atEnd()) {
        const qint64 read = this->read(m_piece.data(), std::min(kPieceBytes, Allowance()));
        if (read == 0)
            return; // more when the connection has taken what waits
        if (read < 0)
            return; // the file failed: the connection stays short of its Content-Length
        if (m_socket->write(m_piece.constData(), read) != read)
            break; // the connection is gone: the rest of the file is not read for nothing
        if (m_cutAfter > 0 && m_given >= m_cutAfter) {
            m_socket->disconnectFromHost(); // after what was written has gone out
            break;
        }
    }
    deleteLater();
}

bool PackageStream::seek(qint64 position) {
    return QIODevice::seek(position) && m_file.seek(position);
}

// What may be read now: the rest of the file, less what the rate does not allow yet, less what
// would overfill the socket.
qint64 PackageStream::Allowance() const {
    if (!isOpen())
        return 0;
    qint64 allowance = size() - pos();
    if (m_bytesPerSecond > 0)
        allowance = std::min(allowance, m_bytesPerSecond * m_clock.elapsed() / 1000 - m_given);
    if (m_cutAfter > 0)
        allowance = std::min(allowance, m_cutAfter - m_given);
    if (m_socket)
        allowance = std::min(allowance, kMaxPendingBytes - m_socket->bytesToWrite());
    return std::max<qint64>(0, allowance);
}

qint64 PackageStream::readData(char* data, qint64 maxSize) {
    const qint64 count = std::min(maxSize, Allowance());
    if (count <= 0)
        return 0;
    const qint64 read = m_file.read(data, count);
    if (read > 0)
        m_given += read;
    return read;
}

void PackageStream::WakeReader() {
    if (atEnd())
        m_timer.stop();
    else if (Allowance() > 0)
        emit readyRead();
}

} // namespace KDAutoUpdate
