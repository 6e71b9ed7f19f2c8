#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QPointer>
#include <QTimer>

class QTcpSocket;

namespace KDAutoUpdate {

// A file as the body of an answer. Qt's responder copies from a device in small pieces as long
// as the device has bytes available, without waiting for the connection to take them; so this
// device makes bytes available only while little is waiting in the socket, and a client that
// reads slowly never makes the service hold a large package in memory. Optionally it also
// keeps to a rate, so a download's progress can be watched. It is not sequential, so the
// responder sends its size as Content-Length.
class PackageStream final : public QIODevice {
    Q_OBJECT

public:
    // `bytesPerSecond` 0: no rate limit.
    PackageStream(const QString& path, QTcpSocket* socket, qint64 bytesPerSecond);

    bool open(OpenMode mode) override; // read-only; always unbuffered
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 position) override;
    bool atEnd() const override { return pos() >= size(); }
    qint64 bytesAvailable() const override { return Allowance(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Allowance() const;
    void WakeReader();

    QFile m_file;
    QPointer<QTcpSocket> m_socket;
    qint64 m_bytesPerSecond;
    qint64 m_given = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace KDAutoUpdate
