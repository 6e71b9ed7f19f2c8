#include "service/ThrottledFile.h"

namespace KDAutoUpdate {

namespace {

constexpr int kTickMs = 50;

} // namespace

ThrottledFile::ThrottledFile(const QString& path, qint64 bytesPerSecond)
    : m_file(path), m_bytesPerSecond(std::max<qint64>(1, bytesPerSecond)) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &ThrottledFile::Tick);
}

bool ThrottledFile::open(OpenMode mode) {
    if ((mode & WriteOnly) || !m_file.open(ReadOnly))
        return false;
    m_given = 0;
    m_clock.start();
    m_timer.start();
    // Unbuffered: a buffer would read ahead of the allowance.
    return QIODevice::open(ReadOnly | Unbuffered);
}

void ThrottledFile::close() {
    m_timer.stop();
    m_file.close();
    QIODevice::close();
}

bool ThrottledFile::seek(qint64 position) {
    return QIODevice::seek(position) && m_file.seek(position);
}

qint64 ThrottledFile::bytesAvailable() const {
    return std::min(size() - pos(), Allowance());
}

// Bytes that may go out now: the rate times the time since opening, less what went out.
qint64 ThrottledFile::Allowance() const {
    return std::max<qint64>(0, m_bytesPerSecond * m_clock.elapsed() / 1000 - m_given);
}

qint64 ThrottledFile::readData(char* data, qint64 maxSize) {
    const qint64 count = std::min(maxSize, Allowance());
    if (count <= 0)
        return 0;
    const qint64 read = m_file.read(data, count);
    if (read > 0)
        m_given += read;
    return read;
}

void ThrottledFile::Tick() {
    if (atEnd())
        m_timer.stop();
    else if (Allowance() > 0)
        emit readyRead();
}

} // namespace KDAutoUpdate
