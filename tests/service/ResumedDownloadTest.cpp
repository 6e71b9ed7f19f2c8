// Downloads that continue where they stopped, end to end on 127.0.0.1: the embedded service's
// answers to ranges, the Qt download control against the service cutting a transfer or the user
// cancelling one, and the same control against nginx.
#include "ServiceTestSupport.h"

#include "platform/qt/QtDownloader.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace KDAutoUpdate::Testing {
namespace {

namespace fs = std::filesystem;

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

struct Fetched {
    int status = 0;
    QByteArray body;
    QByteArray contentRange;
    QByteArray etag;
    QByteArray lastModified;
};

Fetched GetWith(const QString& url, const QList<std::pair<QByteArray, QByteArray>>& headers) {
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    WaitUntil([&] { return reply->isFinished(); });
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
            reply->rawHeader("Content-Range"), reply->rawHeader("ETag"),
            reply->rawHeader("Last-Modified")};
}

class Catalogue {
public:
    explicit Catalogue(const QByteArray& package) : bytes(package) {
        files.AddPackage(QStringLiteral("p.bin"), bytes);
        files.WriteCatalogue(R"(<catalogue><product code="AB" name="P">
  <message id="m1" name="One" type="exe" package="p.bin"/></product></catalogue>)");
    }
    TempCatalogue files;
    QByteArray bytes;
};

TEST(ServiceRanges, ARangeOfThisVersionIsPartialAnyOtherAnswerWhole) {
    const Catalogue catalogue(RandomBytes(10000, 7));
    UpdateService service(catalogue.files.Folder());
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const QString url = service.BaseUrl() + "/packages/p.bin";
    const Fetched whole = GetWith(url, {});
    ASSERT_EQ(whole.status, 200);
    ASSERT_EQ(whole.body, catalogue.bytes);
    ASSERT_FALSE(whole.etag.isEmpty());
    ASSERT_FALSE(whole.lastModified.isEmpty());
    const QByteArray& bytes = catalogue.bytes;
    struct Case {
        QByteArray range, ifRange;
        int status;
        QByteArray contentRange, body;
    };
    for (const Case& c : {
             Case{"bytes=4000-", "", 206, "bytes 4000-9999/10000", bytes.mid(4000)},
             Case{"bytes=4000-4999", whole.etag, 206, "bytes 4000-4999/10000",
                  bytes.mid(4000, 1000)},
             Case{"bytes=-500", whole.lastModified, 206, "bytes 9500-9999/10000", bytes.mid(9500)},
             Case{"bytes=9999-20000", "", 206, "bytes 9999-9999/10000", bytes.mid(9999)},
             Case{"bytes=4000-", "\"another version\"", 200, "", bytes},
             Case{"bytes=4000-", "W/" + whole.etag, 200, "", bytes},
             Case{"bytes=0-1,5-6", "", 200, "", bytes},
             Case{"bytes=x-", "", 200, "", bytes},
             Case{"bytes=10000-", "", 416, "bytes */10000", ""},
         }) {
        QList<std::pair<QByteArray, QByteArray>> headers{{"Range", c.range}};
        if (!c.ifRange.isEmpty())
            headers.append({"If-Range", c.ifRange});
        const Fetched answer = GetWith(url, headers);
        EXPECT_EQ(answer.status, c.status)
            << c.range.toStdString() << " " << c.ifRange.toStdString();
        EXPECT_EQ(answer.contentRange, c.contentRange) << c.range.toStdString();
        EXPECT_TRUE(answer.body == c.body) << c.range.toStdString();
    }
}

// The download control into a folder of its own, with retries that come quickly.
class ResumedDownload : public ::testing::Test, public IDownloadEvents {
protected:
    void DownloadProgress(long long, long long, long long, long long, long long received, long long,
                          long long) override {
        lastReceived = received;
    }
    void DownloadComplete(const std::string& value) override { completions.push_back(value); }

    void Use(const QString& name) {
        downloader = std::make_unique<QtDownloader>(root.filePath(name).toStdString(), limits,
                                                    root.path().toStdString());
        downloader->SetEvents(this);
    }
    std::string Download(const QString& url) {
        completions.clear();
        if (!downloader->BeginDownload(url.toStdString(), "K"))
            return "refused";
        return WaitUntil([&] { return !completions.empty(); }, 30000) ? completions.front()
                                                                      : "timed out";
    }
    // Starts a download and ends it once `bytes` arrived: by a cancel, or by the host's end.
    void Interrupt(const QString& url, long long bytes, bool cancel) {
        lastReceived = 0;
        ASSERT_TRUE(downloader->BeginDownload(url.toStdString(), "K"));
        ASSERT_TRUE(WaitUntil([&] { return lastReceived >= bytes; }));
        if (cancel)
            downloader->CancelDownload("K");
        else
            downloader.reset();
    }
    long long PartSize(const QString& name) const {
        std::error_code error;
        return static_cast<long long>(
            fs::file_size(fs::path(root.filePath(name).toStdString()) / "p.bin.part", error));
    }

    QTemporaryDir root;
    NetworkLimits limits{.retryDelayMs = 20};
    std::unique_ptr<QtDownloader> downloader;
    std::vector<std::string> completions;
    long long lastReceived = 0;
};

TEST_F(ResumedDownload, ATransferTheServiceCutsContinuesWhereItStopped) {
    const Catalogue catalogue(RandomBytes(300000, 11));
    for (const qint64 cut : {qint64{1}, qint64{150000}, qint64{299999}}) {
        ServiceOptions options{catalogue.files.Folder()};
        options.cutPackageAfterBytes = cut;
        options.cutPackages = 1;
        UpdateService service(options);
        ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
        Use(QStringLiteral("cut-%1").arg(cut));
        const std::string file = Download(service.BaseUrl() + "/packages/p.bin");
        EXPECT_TRUE(FileBytes(QString::fromStdString(file)) == catalogue.bytes) << cut;
        EXPECT_EQ(downloader->FetchedBytes(), catalogue.bytes.size()) << "nothing fetched twice";
        // Qt itself may send the request again when the connection closes early, before its
        // reply reports the cut; the rest comes as a range all the same.
        const QStringList log = service.RequestLog();
        ASSERT_GE(log.size(), 2);
        EXPECT_TRUE(log.front().endsWith(" 200") && log.back().endsWith(" 206"))
            << log.join('\n').toStdString();
    }
}

TEST_F(ResumedDownload, ACancelledDownloadOfTheServiceResumesAtTheNextAttempt) {
    const Catalogue catalogue(RandomBytes(600000, 13));
    ServiceOptions options{catalogue.files.Folder()};
    options.packageBytesPerSecond = 1000000;
    UpdateService service(options);
    ASSERT_TRUE(service.Start(QHostAddress::LocalHost, 0));
    const QString url = service.BaseUrl() + "/packages/p.bin";
    Use(QStringLiteral("dl"));
    Interrupt(url, 100000, true);
    const long long part = PartSize(QStringLiteral("dl"));
    ASSERT_GE(part, 100000);
    ASSERT_LT(part, catalogue.bytes.size());
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(FileBytes(QString::fromStdString(Download(url))) == catalogue.bytes);
    EXPECT_EQ(downloader->FetchedBytes(), catalogue.bytes.size() - part);
}

class NginxDownload : public ResumedDownload {
protected:
    void SetUp() override {
        const QString nginx = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (nginx.isEmpty())
            GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh installs it)";
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
        probe.close();
        QDir(work.path()).mkdir(QStringLiteral("site"));
        QFile config(work.filePath(QStringLiteral("nginx.conf")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        // Slow enough that a transfer can be caught halfway; the workers keep the user of
        // the test, who can read its temporary folder.
        config.write(QStringLiteral(
                         "user root; worker_processes 1; pid nginx.pid;\n"
                         "events { worker_connections 64; }\n"
                         "http { access_log off; client_body_temp_path tmp; proxy_temp_path tmp;\n"
                         "  fastcgi_temp_path tmp; uwsgi_temp_path tmp; scgi_temp_path tmp;\n"
                         "  server { listen 127.0.0.1:%1; root %2; limit_rate 1m; } }\n")
                         .arg(port)
                         .arg(work.filePath(QStringLiteral("site")))
                         .toUtf8());
        config.close();
        server.start(nginx, {"-p", work.path(), "-c", config.fileName(), "-e",
                             work.filePath(QStringLiteral("error.log")), "-g", "daemon off;"});
        server.waitForStarted();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && server.state() == QProcess::Running) {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), port);
            if (socket.waitForConnected(200))
                return;
        }
        FAIL() << "nginx did not start: "
               << FileBytes(work.filePath(QStringLiteral("error.log"))).toStdString();
    }
    void TearDown() override {
        server.terminate();
        server.waitForFinished(5000);
    }
    void Publish(const QByteArray& bytes) {
        QFile file(work.filePath(QStringLiteral("site/p.bin")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/p.bin").arg(port); }

    QTemporaryDir work;
    QProcess server;
    quint16 port = 0;
};

TEST_F(NginxDownload, AnInterruptedDownloadResumesAndAChangedFileStartsOver) {
    const QByteArray first = RandomBytes(600000, 17);
    Publish(first);
    // The host ends halfway; the next one goes on from the partial file.
    Use(QStringLiteral("dl"));
    Interrupt(Url(), 100000, false);
    const long long part = PartSize(QStringLiteral("dl"));
    ASSERT_GE(part, 100000);
    Use(QStringLiteral("dl"));
    EXPECT_TRUE(FileBytes(QString::fromStdString(Download(Url()))) == first);
    EXPECT_EQ(downloader->FetchedBytes(), first.size() - part);

    // A new version under the same address: If-Range no longer holds, the whole comes again.
    Interrupt(Url(), 100000, true);
    const QByteArray second = RandomBytes(500000, 19);
    Publish(second);
    EXPECT_TRUE(FileBytes(QString::fromStdString(Download(Url()))) == second);
    EXPECT_EQ(downloader->FetchedBytes(), second.size());
}

} // namespace
} // namespace KDAutoUpdate::Testing
