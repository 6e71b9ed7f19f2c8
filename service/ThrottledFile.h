#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QTimer>

namespace KDAutoUpdate {

// A file that gives out its bytes no faster than a set rate, so a download's progress can be
// watched. The HTTP server copies from it as bytes become available (readyRead) and sends the
// file's size as Content-Length, since the device is not sequential.
class ThrottledFile final : public QIODevice {
    Q_OBJECT

public:
    ThrottledFile(const QString& path, qint64 bytesPerSecond);

    bool open(OpenMode mode) override; // read-only; always unbuffered
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 position) override;
    bool atEnd() const override { return pos() >= size(); }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Allowance() const;
    void Tick();

    QFile m_file;
    qint64 m_bytesPerSecond;
    qint64 m_given = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace KDAutoUpdate
