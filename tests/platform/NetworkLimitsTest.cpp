// The bounds on answers and downloads against a server on 127.0.0.1 that misbehaves: trickles,
// sends without end, leaves its length open, redirects elsewhere. Limits are shortened for
// the test so each case ends in well under a second.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkReply>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <unistd.h>

#include "platform/qt/QtDownloader.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtRedirectGuard.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

// Answers each request by the script for its path; `trickle` then sends `piece` every 20 ms
// until the socket goes.
class RogueServer {
public:
    using Script = std::function<void(QTcpSocket*)>;
    RogueServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray head = s->readAll();
                    const QByteArray path = head.split(' ').value(1);
                    if (const auto it = m_scripts.find(path.toStdString()); it != m_scripts.end())
                        it->second(s);
                });
            }
        });
    }
    void On(const std::string& path, Script script) { m_scripts[path] = std::move(script); }
    std::string Url(const std::string& path, const char* host = "127.0.0.1") const {
        return std::string("http://") + host + ":" + std::to_string(m_server.serverPort()) + path;
    }
    static void Trickle(QTcpSocket* s, QByteArray piece) {
        auto* timer = new QTimer(s);
        QObject::connect(timer, &QTimer::timeout, s, [s, piece] { s->write(piece); });
        timer->start(20);
    }

private:
    QTcpServer m_server;
    std::map<std::string, Script> m_scripts;
};

QByteArray Head(const QByteArray& headers) {
    return "HTTP/1.1 200 OK\r\n" + headers + "\r\n";
}

class NetworkLimitsTest : public ::testing::Test {
protected:
    NetworkLimitsTest() {
        EnsureApplication();
        root = TestPlatform::MakeTempFolder("limits");
        server.On("/big", [](QTcpSocket* s) {
            s->write(Head("Content-Length: 5000\r\n") + QByteArray(5000, 'x'));
        });
        server.On("/endless", [](QTcpSocket* s) {
            s->write(Head(""));
            RogueServer::Trickle(s, QByteArray(4000, 'x'));
        });
        server.On("/trickle", [](QTcpSocket* s) {
            s->write(Head("Content-Length: 100000\r\n"));
            RogueServer::Trickle(s, "x");
        });
        server.On("/slow", [](QTcpSocket* s) {
            s->write(Head(""));
            RogueServer::Trickle(s, "x");
        });
        server.On("/unframed", [](QTcpSocket* s) {
            s->write(Head("Connection: close\r\n") + "#!/bin/sh\necho trun");
            s->disconnectFromHost();
        });
        server.On("/chunked", [](QTcpSocket* s) {
            s->write(Head("Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\n0\r\n\r\n");
        });
        server.On("/short", [](QTcpSocket* s) {
            s->write(Head("Content-Length: 100\r\nConnection: close\r\n") + "#!/bin/sh\n");
            s->disconnectFromHost();
        });
        server.On("/long", [](QTcpSocket* s) {
            s->write(Head("Content-Length: 4\r\nConnection: close\r\n") + "<r/>; rm -rf ~");
            s->disconnectFromHost();
        });
        server.On("/ok", [](QTcpSocket* s) { s->write(Head("Content-Length: 4\r\n") + "<r/>"); });
        server.On("/elsewhere", [this](QTcpSocket* s) {
            s->write("HTTP/1.1 302 Found\r\nContent-Length: 5\r\nConnection: close\r\nLocation: " +
                     QByteArray::fromStdString(server.Url("/ok", "localhost")) + "\r\n\r\nmoved");
            s->disconnectFromHost();
        });
        server.On("/samehost", [this](QTcpSocket* s) {
            s->write("HTTP/1.1 302 Found\r\nContent-Length: 5\r\nConnection: close\r\nLocation: " +
                     QByteArray::fromStdString(server.Url("/ok")) + "\r\n\r\nmoved");
            s->disconnectFromHost();
        });
    }
    ~NetworkLimitsTest() override {
        std::error_code error;
        fs::remove_all(root, error);
    }

    // The downloader's answer for `path`: the file's path, "" for a failure.
    std::string Download(const std::string& path, const fs::path& folder = {}) {
        struct Events : IDownloadEvents {
            void DownloadProgress(long long, long long, long long, long long, long long, long long,
                                  long long) override {}
            void DownloadComplete(const std::string& v) override { value = v; }
            std::optional<std::string> value;
        } events;
        QtDownloader downloader((folder.empty() ? root / "dl" : folder).string(), limits,
                                root.string());
        downloader.SetEvents(&events);
        if (!downloader.BeginDownload(server.Url(path), "K"))
            return "refused";
        loop.RunUntil([&] { return events.value.has_value(); }, 5000);
        return events.value.value_or("timed out");
    }

    NetworkLimits limits{.maxAnswerBytes = 1000,
                         .answerDeadlineMs = 300,
                         .floorBytesPerSecond = 1000,
                         .floorWindowMs = 300,
                         .maxUnsizedPackageBytes = 3000};
    QtEventLoop loop;
    RogueServer server;
    fs::path root;
};

TEST_F(NetworkLimitsTest, AnswersAreBoundedInSizeTimeAndRedirects) {
    QtHttpFetcher fetcher(limits);
    struct Case {
        const char* path;
        int error;
    };
    for (const Case& c :
         {Case{"/big", -QNetworkReply::UnknownContentError},
          Case{"/endless", -QNetworkReply::UnknownContentError},
          Case{"/slow", -QNetworkReply::TimeoutError},
          Case{"/elsewhere", -QNetworkReply::OperationCanceledError}, Case{"/samehost", 0}}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(fetcher.GetSync(server.Url(c.path)).error, c.error) << c.path;
        EXPECT_LT(clock.elapsed(), 2000) << c.path;
    }
}

TEST_F(NetworkLimitsTest, ADownloadEndsAtItsAnnouncedSizeOrWithoutOneAtTheCap) {
    for (const char* failing : {"/trickle", "/endless", "/short", "/elsewhere"})
        EXPECT_EQ(Download(failing), "") << failing;
    EXPECT_TRUE(fs::is_empty(root / "dl")); // no partial file left
    // A cut without a size, or a size smaller than the file, looks whole to HTTP: only the
    // package's hash tells.
    for (const auto& [path, body] :
         std::vector<std::pair<std::string, std::string>>{{"/samehost", "<r/>"},
                                                          {"/long", "<r/>"},
                                                          {"/unframed", "#!/bin/sh\necho trun"},
                                                          {"/chunked", "hello"},
                                                          {"/big", std::string(5000, 'x')}})
        EXPECT_EQ(ReadFile(Download(path)), body) << path;
}

TEST_F(NetworkLimitsTest, AFolderWithABlankGivesWayToOneACommandLineCarries) {
    const std::string file = Download("/ok", root / "qa team" / "dl");
    EXPECT_EQ(file, (fs::canonical(root) / ("kdautoupdate-" + std::to_string(::getuid())) /
                     "downloads" / "ok")
                        .string());
    EXPECT_EQ(ReadFile(file), "<r/>");
}

TEST_F(NetworkLimitsTest, LeftoversAreTidiedAwayByTheNextDownload) {
    const fs::path folder = root / "dl";
    fs::create_directories(folder);
    const auto now = fs::file_time_type::clock::now();
    const std::pair<const char*, std::chrono::hours> files[] = {
        {"killed.part", std::chrono::hours(1)},
        {"running.part", std::chrono::hours(0)},
        {"ancient.sh", std::chrono::hours(24 * 40)},
        {"p1.sh", std::chrono::hours(1)},
        {"p2.sh", std::chrono::hours(2)},
        {"p3.sh", std::chrono::hours(3)},
        {"p4.sh", std::chrono::hours(4)},
        {"p5.sh", std::chrono::hours(5)}};
    for (const auto& [name, age] : files) {
        std::ofstream(folder / name) << "x";
        fs::last_write_time(folder / name, now - age);
    }
    ASSERT_NE(Download("/ok"), "");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{"running.part", "p1.sh", "p2.sh", "p3.sh", "p4.sh", "ok"}));
}

TEST(RedirectGuard, OnlyToHttpsOrWithinTheSameHost) {
    struct Case {
        const char *from, *to;
        bool allowed;
    };
    for (const Case& c :
         {Case{"http://a/x", "https://b/y", true}, Case{"http://a/x", "http://a:81/y", true},
          Case{"http://a/x", "http://b/y", false}, Case{"https://a/x", "http://a/y", false},
          Case{"http://a/x", "file:///bin/sh", false}, Case{"http://a/x", "ftp://a/y", false}})
        EXPECT_EQ(QtRedirectGuard::IsAllowed(QUrl(c.from), QUrl(c.to)), c.allowed)
            << c.from << " -> " << c.to;
}

} // namespace
} // namespace KDAutoUpdate
