// Downloads that continue where they stopped, end to end on 127.0.0.1: the embedded service's
// answers to ranges, and the Qt download control against the service cutting a transfer.
#include "ServiceTestSupport.h"

#include "platform/qt/QtDownloader.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace KDAutoUpdate::Testing {
namespace {

struct Fetched {
    int status = 0;
    QByteArray body, contentRange, etag, lastModified;
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
        files.WriteCatalogue(
            InProduct(R"(<message id="m1" name="One" type="exe" package="p.bin"/>)"));
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
    void DownloadProgress(long long, long long, long long, long long, long long, long long,
                          long long) override {}
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

    QTemporaryDir root;
    NetworkLimits limits{.retryDelayMs = 20};
    std::unique_ptr<QtDownloader> downloader;
    std::vector<std::string> completions;
};

TEST_F(ResumedDownload, ATransferTheServiceCutsContinuesWhereItStopped) {
    const Catalogue catalogue(RandomBytes(300000, 11));
    for (const qint64 cut : {qint64{1}, qint64{150000}, qint64{299999}}) {
        UpdateService service({.catalogueFolder = catalogue.files.Folder(),
                               .cutPackageAfterBytes = cut,
                               .cutPackages = 1});
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

} // namespace
} // namespace KDAutoUpdate::Testing
