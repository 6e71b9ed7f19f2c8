// The sample catalogue published as static files and served by nginx: every answer the agent
// can get is byte for byte the embedded service's.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

struct Answer {
    QByteArray status, contentType, body, head;
};

// One GET with a fixed Host, so both servers put the same address into their pages. Read up
// to Content-Length, or to the end of the connection without one.
Answer RawGet(quint16 port, const QByteArray& target, const QByteArray& headers = {}) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write("GET " + target + " HTTP/1.0\r\nHost: updates.example:8080\r\n" + headers +
                 "\r\n");
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
    Answer answer{bytes.left(bytes.indexOf(' ', 9)), {}, bytes.mid(end + 4), bytes.left(end)};
    for (const QByteArray& line : bytes.left(end).split('\n'))
        if (line.toLower().startsWith("content-type:"))
            answer.contentType = line.mid(13).trimmed();
    return answer;
}

// Writes each (path, bytes) below `folder`, making the folders on the way.
void WriteFiles(const QString& folder, const QList<std::pair<QString, QByteArray>>& files) {
    for (const auto& [name, bytes] : files) {
        QFile file(folder + u'/' + name);
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            << name.toStdString();
    }
}

class PublishedCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        nginx = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (nginx.isEmpty())
            GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh installs it)";
    }
    // The embedded service and nginx serving the published `catalogue`, both on 127.0.0.1.
    void Serve(const QString& catalogue) {
        // Connections spread over two threads.
        service = std::make_unique<ServiceProcess>(
            QStringList{"--workers", "2", "--catalogue", catalogue});
        ASSERT_TRUE(service->Started());
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
                      {"publish", catalogue, site, "--listen",
                       QStringLiteral("127.0.0.1:%1").arg(port), "--public-url",
                       QUrl(service->BaseUrl()).adjusted(QUrl::RemovePath).toString()});
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
    quint16 ServicePort() const { return static_cast<quint16>(QUrl(service->BaseUrl()).port()); }
    void TearDown() override {
        server.terminate();
        server.waitForFinished(5000);
    }

    QString nginx;
    std::unique_ptr<ServiceProcess> service;
    ProgramCopy app;
    QTemporaryDir work;
    QProcess server;
    quint16 port = 0;
};

TEST_F(PublishedCatalogue, EveryAnswerIsTheEmbeddedServicesByteForByte) {
    ASSERT_NO_FATAL_FAILURE(Serve(KDAU_SOURCE_DIR "/service/catalogue"));
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
        const Answer embedded = RawGet(ServicePort(), target);
        EXPECT_EQ(published.status, embedded.status);
        EXPECT_EQ(published.contentType, embedded.contentType);
        // Published pages link to packages by content: the one difference.
        EXPECT_EQ(QString::fromUtf8(published.body)
                      .replace(QRegularExpression("/packages/[0-9a-f]{16}/"), "/packages/")
                      .toUtf8(),
                  embedded.body);
    }
}

QByteArray Gunzip(const QByteArray& bytes) {
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc")});
    gzip.write(bytes);
    gzip.closeWriteChannel();
    gzip.waitForFinished(10000);
    return gzip.exitCode() == 0 ? gzip.readAllStandardOutput() : QByteArray("<not gzip>");
}

// What a static host and a CDN in front of it need: pages and answers precompressed for clients
// that accept it and cached briefly; packages (under addresses that change with their content)
// and patches (named by the hashes of both ends) kept for good, as the service says of patches.
TEST_F(PublishedCatalogue, PagesGoOutPrecompressedAndPackagesAndPatchesAreImmutable) {
    const QString catalogue = work.filePath(QStringLiteral("patched"));
    QByteArray old;
    for (int line = 0; line < 2000; ++line)
        old += "echo " + QByteArray::number(line) + "\n";
    const QList<std::pair<QString, QByteArray>> files{
        {"packages/app-1.sh", old},
        {"packages/app-2.sh", old + "echo 2\n"},
        {"info/news.html",
         "<html><body>" + QByteArray("<p>Neuigkeiten</p>").repeated(50) + "</body></html>"},
        {"catalogue.xml",
         R"(<catalogue><product code="{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}" name="K">
  <message id="two" name="Zwei" type="exe" package="app-2.sh" toVersion="2"><base package="app-1.sh"/></message>
  <message id="news" name="News" type="info" page="news.html"/>
</product></catalogue>)"}};
    ASSERT_NO_FATAL_FAILURE(WriteFiles(catalogue, files));
    ASSERT_NO_FATAL_FAILURE(Serve(catalogue));
    const QByteArray query = "?ProductCode={6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}&Version=1";
    QByteArray html;
    for (const QByteArray& target : {"/services/autoupdate/InitUpdate.aspx" + query,
                                     "/services/autoupdate/CheckUpdate.aspx" + query,
                                     QByteArray("/services/autoupdate/info/news.html"),
                                     QByteArray("/services/autoupdate/nothing")}) {
        SCOPED_TRACE(target.toStdString());
        const Answer plain = RawGet(port, target);
        const Answer zipped = RawGet(port, target, "Accept-Encoding: gzip, deflate\r\n");
        EXPECT_FALSE(plain.head.contains("Content-Encoding")) << plain.head.toStdString();
        EXPECT_TRUE(zipped.head.contains("Content-Encoding: gzip")) << zipped.head.toStdString();
        EXPECT_TRUE(zipped.head.contains("Vary: Accept-Encoding"));
        EXPECT_EQ(zipped.status, plain.status);
        EXPECT_EQ(zipped.contentType, plain.contentType);
        EXPECT_LT(zipped.body.size(), plain.body.size());
        EXPECT_EQ(Gunzip(zipped.body), plain.body);
        if (target.contains(".aspx")) {
            EXPECT_TRUE(plain.head.contains("Cache-Control: public, max-age=60"));
        }
        html = html.isEmpty() ? plain.body : html;
    }

    const QRegularExpressionMatch package =
        QRegularExpression(
            "http://[^/\"]+(/services/autoupdate/packages/([0-9a-f]{16})/app-2\\.sh)")
            .match(QString::fromUtf8(html));
    ASSERT_TRUE(package.hasMatch()) << html.toStdString();
    const Answer kept = RawGet(port, package.captured(1).toUtf8());
    EXPECT_TRUE(kept.head.contains("Cache-Control: public, max-age=31536000, immutable"));
    EXPECT_EQ(kept.body, files[1].second);
    EXPECT_EQ(package.captured(2),
              QCryptographicHash::hash(kept.body, QCryptographicHash::Sha256).toHex().left(16));

    const QRegularExpressionMatch link =
        QRegularExpression("http://[^/\"]+(/services/autoupdate/deltas/[^\"]+)\"")
            .match(QString::fromUtf8(html));
    ASSERT_TRUE(link.hasMatch()) << html.toStdString();
    QFile published(work.filePath("site/deltas/" + link.captured(1).section(u'/', -1)));
    ASSERT_TRUE(published.open(QIODevice::ReadOnly)) << published.fileName().toStdString();
    const QByteArray bytes = published.readAll();
    for (const quint16 from : {port, ServicePort()}) {
        const Answer patch = RawGet(from, link.captured(1).toUtf8());
        EXPECT_EQ(patch.status, "HTTP/1.1 200");
        EXPECT_TRUE(patch.head.contains("Cache-Control: public, max-age=31536000, immutable"))
            << patch.head.toStdString();
        EXPECT_EQ(patch.body, bytes);
    }
}

// Rollout shares, the test channel, a campaign and a way back, decided by nginx from the
// published files and by the embedded service: the same answer for every one of 10,000 keys.
TEST_F(PublishedCatalogue, NginxAndTheServicePutEveryKeyInTheSameBucket) {
    const QString catalogue = work.filePath(QStringLiteral("gated"));
    ASSERT_NO_FATAL_FAILURE(
        WriteFiles(catalogue, {{"packages/p.bin", "payload"}, {"catalogue.xml", R"(<catalogue>
<product code="{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}" name="Keldra Studio">
  <message id="first" name="F" type="exe" package="p.bin" toVersion="5.1" rollout="5"/>
  <message id="wide" name="W" type="exe" package="p.bin" toVersion="5.2" rollout="37"/>
  <message id="beta" name="B" type="exe" package="p.bin" channel="test"/>
  <message id="spring" name="S" type="exe" package="p.bin" campaign="Spring" rollout="50"/>
  <message id="back" name="Back" type="exe" package="p.bin" toVersion="5.0.1" allowDowngrade="yes"
           minVersion="5.0.2" maxVersion="5.0.9"/>
  <message id="halted" name="H" type="exe" package="p.bin" rollout="0"/>
</product>
<product code="{11111111-2222-3333-4444-555555555555}" name="Other">
  <message id="other" name="O" type="exe" package="p.bin" rollout="37"/>
  <message id="almost" name="A" type="exe" package="p.bin" rollout="99"/>
</product>
</catalogue>)"}}));
    ASSERT_NO_FATAL_FAILURE(Serve(catalogue));
    const QByteArray products[] = {"{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}",
                                   "%7b6f1b3c2a-8d4e-4b7a-9c21-5e3f7a9b0d14%7d",
                                   "11111111-2222-3333-4444-555555555555"};
    // Below, at and above the bounds of the way back.
    const QByteArray versions[] = {"",
                                   "&Version=5.0.0",
                                   "&Version=5.0.2",
                                   "&Version=5.0.9",
                                   "&Version=5.0.9.1",
                                   "&Version=5.1.5"};
    int differing = 0;
    int wide = 0;
    QStringList lines; // what the service logged, read as it comes
    for (int i = 0; i < 10000; ++i) {
        QByteArray query =
            "ProductCode=" + products[i % 3] + versions[i / 5 % 6] +
            "&TestMode=" + (i % 7 == 0 ? "True" : "False") +
            (i % 5 == 0 ? "&CmpID=spring" : "&CmpID=") + "&LicKey=" +
            (i % 11 == 0 ? QByteArray() : "KEY-" + QByteArray::number(i * 7919 % 100003));
        const QByteArray target = "/services/autoupdate/CheckUpdate.aspx?" + query;
        if (i % 100 == 0)
            lines = service->Requests(); // the service's log must not fill its pipe
        const QByteArray answer = RawGet(port, target).body;
        wide += answer.contains("id=\"wide\"") ? 1 : 0;
        if (answer != RawGet(ServicePort(), target).body && ++differing <= 3)
            ADD_FAILURE() << target.toStdString() << "\n" << answer.toStdString();
    }
    EXPECT_EQ(differing, 0);
    // "wide" can reach the product's queries with a key: 37 % of them.
    const int reachable = 10000 * 2 / 3 * 10 / 11;
    EXPECT_GT(wide, reachable * 33 / 100);
    EXPECT_LT(wide, reachable * 41 / 100);
    // Both logs tell the vendor how far the rollout has gone.
    const QRegularExpression offeredWide(QStringLiteral("offered=\\S*\\bwide\\b"));
    server.terminate();
    server.waitForFinished(5000);
    QFile access(work.filePath("kdautoupdate-access.log"));
    ASSERT_TRUE(access.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(access.readAll());
    EXPECT_EQ(log.count(offeredWide), wide);
    EXPECT_EQ(log.count(QStringLiteral(" channel=test")), (10000 + 6) / 7);
    // The service's two workers write their batches to one stdout: one line per request still.
    QElapsedTimer clock;
    clock.start();
    while (lines.size() < 10000 && clock.elapsed() < 10000)
        lines = service->Requests();
    EXPECT_EQ(lines.size(), 10000);
    EXPECT_EQ(lines.filter(offeredWide).size(), wide);
}

} // namespace
} // namespace KDAutoUpdate
