// The sample catalogue published as static files and served by nginx: every answer the agent
// can get is byte for byte the embedded service's.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

struct Answer {
    QByteArray status, contentType, body;
};

// One GET with a fixed Host, so both servers put the same address into their pages. Read up
// to Content-Length, or to the end of the connection without one.
Answer RawGet(quint16 port, const QByteArray& target) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write("GET " + target + " HTTP/1.0\r\nHost: updates.example:8080\r\n\r\n");
    QByteArray bytes;
    qsizetype end = -1;
    qint64 length = -1;
    while ((end < 0 || length < 0 || bytes.size() < end + 4 + length) &&
           (socket.waitForReadyRead(5000) || socket.bytesAvailable())) {
        bytes += socket.readAll();
        end = bytes.indexOf("\r\n\r\n");
        const qsizetype at = bytes.toLower().indexOf("content-length:");
        if (end >= 0 && at >= 0 && at < end)
            length = bytes.mid(at + 15, 20).split('\r')[0].trimmed().toLongLong();
    }
    Answer answer{bytes.left(bytes.indexOf(' ', 9)), {}, bytes.mid(end + 4)};
    for (const QByteArray& line : bytes.left(end).split('\n'))
        if (line.toLower().startsWith("content-type:"))
            answer.contentType = line.mid(13).trimmed();
    return answer;
}

class PublishedCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        const QString nginx = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (nginx.isEmpty())
            GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh installs it)";
        ASSERT_TRUE(service.Started());
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
        probe.close();
        // nginx's workers may run as another user.
        QFile::setPermissions(work.path(), QFile::permissions(work.path()) | QFile::ReadOther |
                                               QFile::ExeOther | QFile::ReadGroup |
                                               QFile::ExeGroup);
        const QString site = work.filePath(QStringLiteral("site"));
        QProcess publish;
        publish.start(app.Program(),
                      {"publish", KDAU_SOURCE_DIR "/service/catalogue", site, "--listen",
                       QStringLiteral("127.0.0.1:%1").arg(port), "--public-url",
                       QUrl(service.BaseUrl()).adjusted(QUrl::RemovePath).toString()});
        ASSERT_TRUE(publish.waitForFinished(30000));
        ASSERT_EQ(publish.exitCode(), 0) << publish.readAllStandardError().toStdString();
        server.start(nginx, {"-p", work.path(), "-c", site + "/nginx.conf", "-e",
                             work.filePath("error.log"), "-g", "daemon off;"});
        server.waitForStarted();
        QElapsedTimer clock;
        clock.start();
        for (QTcpSocket s; clock.elapsed() < 10000 && server.state() == QProcess::Running;
             s.abort()) {
            s.connectToHost(QStringLiteral("127.0.0.1"), port);
            if (s.waitForConnected(200))
                return;
        }
        QFile log(work.filePath("error.log"));
        log.open(QIODevice::ReadOnly);
        FAIL() << "nginx did not start: " << log.readAll().toStdString();
    }
    void TearDown() override {
        server.terminate();
        server.waitForFinished(5000);
    }

    ServiceProcess service{{"--workers", "2"}}; // connections spread over two threads
    ProgramCopy app;
    QTemporaryDir work;
    QProcess server;
    quint16 port = 0;
};

TEST_F(PublishedCatalogue, EveryAnswerIsTheEmbeddedServicesByteForByte) {
    QList<QByteArray> targets{"/services/autoupdate/packages/KeldraStudio-5.0.3.msp",
                              "/services/autoupdate/packages/KeldraStudio-Update-5.1.0.sh",
                              "/services/autoupdate/info/KeldraStudio6-Vorschau.html",
                              "/services/autoupdate/packages/missing.bin",
                              "/services/autoupdate/nothing",
                              "/"};
    for (const QByteArray endpoint : {"CheckUpdate.aspx", "initupdate.ASPX"})
        for (const QByteArray product :
             {"{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}", "6f1b3c2a-8d4e-4b7a-9c21-5e3f7a9b0d14",
              "%7B6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14%7D", "{00000000-0000-0000-0000-0}"})
            for (const QByteArray version :
                 {"", "&Version=", "&Version=4.9", "&Version=5", "&Version=5.0.0", "&Version=5.0.2",
                  "&version=05.0.02", "&Version=5.0.3", "&Version=5.0.10", "&Version=5.1",
                  "&Version=5.1.0.0", "&Version=6", "&Version=5.0.2.1"})
                targets << "/services/autoupdate/" + endpoint +
                               "?TestMode=False&ProductCode=" + product + version +
                               "&UILang=1031&OpType=check";
    targets << "/services/autoupdate/CheckUpdate.aspx";
    for (const QByteArray& target : targets) {
        SCOPED_TRACE(target.toStdString());
        const Answer published = RawGet(port, target);
        const Answer embedded =
            RawGet(static_cast<quint16>(QUrl(service.BaseUrl()).port()), target);
        EXPECT_EQ(published.status, embedded.status);
        EXPECT_EQ(published.contentType, embedded.contentType);
        EXPECT_EQ(published.body, embedded.body);
    }
}

} // namespace
} // namespace KDAutoUpdate
