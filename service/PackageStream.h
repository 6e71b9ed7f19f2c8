#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QPointer>
#include <QTimer>

class QTcpSocket;

namespace KDAutoUpdate {

// A file as the body of an answer. The device makes bytes available only while little is
// waiting in the socket, so a client that reads slowly never makes the service hold a large
// package in memory. Optionally it also keeps to a rate, so a download's progress can be
// watched. It is not sequential: its size is the answer's Content-Length.
//
// SendTo writes the body itself, in large pieces, whenever the connection has taken what it
// was given: Qt's responder copies from a device a few hundred bytes per turn of the event
// loop, which made the service, not the network, the limit of a download.
class PackageStream final : public QIODevice {
    Q_OBJECT

public:
    // `bytesPerSecond` 0: no rate limit.
    PackageStream(const QString& path, QTcpSocket* socket, qint64 bytesPerSecond);

    // Before open: only `count` bytes from `first` on go out (a range the client asked for).
    void SetRange(qint64 first, qint64 count);
    // Before open, a test aid: the connection closes after this many bytes of the body, as a
    // network that drops it would.
    void CutAfter(qint64 bytes) { m_cutAfter = bytes; }

    bool open(OpenMode mode) override; // read-only; always unbuffered
    // Sends the rest of the file to the socket as the connection takes it, then deletes itself
    // (as it does when the socket goes). The answer's header must have been written.
    void SendTo();
    void close() override;
    bool isSequential() const override { return false; }
    // The end of what goes out, as a position in the file.
    qint64 size() const override { return isOpen() ? m_size : m_file.size(); }
    bool seek(qint64 position) override;
    bool atEnd() const override { return pos() >= size(); }
    qint64 bytesAvailable() const override { return Allowance(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Allowance() const;
    void WakeReader();
    void Send();

    QFile m_file;
    qint64 m_size = 0; // taken at open: asked for every piece, the file is not asked each time
    qint64 m_first = 0;
    qint64 m_count = -1; // -1: to the end of the file
    qint64 m_cutAfter = 0;
    QByteArray m_piece;
    QPointer<QTcpSocket> m_socket;
    qint64 m_bytesPerSecond;
    qint64 m_given = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace KDAutoUpdate
