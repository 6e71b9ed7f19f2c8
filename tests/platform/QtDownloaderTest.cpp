// The download control against a small HTTP server on 127.0.0.1 that the tests script: fixed
// bodies, wrong lengths, dropped connections, slow senders.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/qt/QtDownloader.h"
#include "platform/qt/QtDownloaderFactory.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/support/FakeDownloaderFactory.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

constexpr long kWaitMs = 15000;

std::string Body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return body;
}

// Answers every request with the scripted answer; remembers the paths asked for.
class PackageServer {
public:
    struct Answer {
        int status = 200;
        std::string body;
        // Content-Length sent; -1: the body's size.
        qint64 contentLength = -1;
        // The connection closes after this many body bytes; -1: after the whole body.
        qint64 closeAfter = -1;
        // Stops sending after this many body bytes and keeps the connection open.
        qint64 holdAfter = -1;
        // Sent in pieces of this many bytes, one piece per interval; 0: all at once.
        qint64 pieceBytes = 0;
        int pieceIntervalMs = 0;
        // Sent as the Location header when not empty.
        std::string location;
    };

    PackageServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                Accept(socket);
        });
    }

    // The answer to every path without one of its own.
    void Set(Answer answer) { m_answer = std::move(answer); }
    void SetFor(const std::string& path, Answer answer) { m_byPath[path] = std::move(answer); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
    }
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    void Accept(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            request->append(socket->readAll());
            const qsizetype end = request->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> line = request->left(request->indexOf("\r\n")).split(' ');
            request->clear();
            m_paths.push_back(line.size() > 1 ? line[1].toStdString() : std::string());
            const auto own = m_byPath.find(m_paths.back());
            Respond(socket, own != m_byPath.end() ? own->second : m_answer);
        });
    }

    void Respond(QTcpSocket* socket, const Answer& a) {
        const qint64 length =
            a.contentLength >= 0 ? a.contentLength : static_cast<qint64>(a.body.size());
        socket->write("HTTP/1.1 " + QByteArray::number(a.status) +
                      " Scripted\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                      QByteArray::number(length) + "\r\nConnection: close\r\n" +
                      (a.location.empty()
                           ? QByteArray()
                           : "Location: " + QByteArray::fromStdString(a.location) + "\r\n") +
                      "\r\n");
        qint64 limit = static_cast<qint64>(a.body.size());
        if (a.closeAfter >= 0)
            limit = std::min(limit, a.closeAfter);
        if (a.holdAfter >= 0)
            limit = std::min(limit, a.holdAfter);
        const QByteArray body = QByteArray::fromStdString(a.body).left(limit);
        const bool close = a.holdAfter < 0;
        if (a.pieceBytes <= 0) {
            socket->write(body);
            if (close)
                socket->disconnectFromHost();
            return;
        }
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qint64>(0);
        QPointer<QTcpSocket> guard(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [=] {
            if (!guard)
                return;
            const QByteArray piece = body.mid(*sent, a.pieceBytes);
            *sent += piece.size();
            socket->write(piece);
            if (*sent >= body.size()) {
                timer->stop();
                if (close)
                    socket->disconnectFromHost();
            }
        });
        timer->start(a.pieceIntervalMs);
    }

    QTcpServer m_server;
    Answer m_answer;
    std::map<std::string, Answer> m_byPath;
    std::vector<std::string> m_paths;
};

// What the control reports, with the control's state at each completion.
class Recorder : public IDownloadEvents {
public:
    struct Report {
        long long percent, rate, remaining, received, total;
    };

    explicit Recorder(IDownloader* control = nullptr) : downloader(control) {}

    void DownloadProgress(long long, long long percent, long long rate, long long remaining,
                          long long received, long long total, long long) override {
        reports.push_back({percent, rate, remaining, received, total});
        if (completions.size() > 0)
            ++reportsAfterCompletion;
    }
    void DownloadComplete(const std::string& value) override {
        completions.push_back(value);
        if (downloader) {
            busyAtCompletion = downloader->IsBusy();
            localFileAtCompletion = downloader->LocalFile();
        }
    }

    IDownloader* downloader;
    std::vector<Report> reports;
    std::vector<std::string> completions;
    int reportsAfterCompletion = 0;
    bool busyAtCompletion = true;
    std::string localFileAtCompletion = "unset";
};

class DownloaderTest : public ::testing::Test {
protected:
    DownloaderTest() {
        EnsureApplication();
        root = TestPlatform::MakeTempFolder("downloads");
        // Not there yet: the control makes it.
        folder = root / "cache" / "downloads";
        downloader = std::make_unique<QtDownloader>(folder.string());
        recorder.downloader = downloader.get();
        downloader->SetEvents(&recorder);
    }
    ~DownloaderTest() override {
        downloader.reset();
        std::error_code error;
        fs::remove_all(root, error);
    }

    bool WaitForCompletion() {
        return loop.RunUntil([&] { return !recorder.completions.empty(); }, kWaitMs);
    }
    // Lets whatever else is queued run, so a second completion would show up.
    void Drain() {
        for (int i = 0; i < 5; ++i)
            loop.ProcessPendingEvents();
    }
    // Files in the download folder, by name.
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Downloads `path` from the server; the completion's value.
    std::string Download(const std::string& path) {
        recorder.completions.clear();
        if (!downloader->BeginDownload(server.Url(path), "K1"))
            return "refused";
        if (!WaitForCompletion())
            return "timed out";
        return recorder.completions.front();
    }

    QtEventLoop loop;
    PackageServer server;
    fs::path root;
    fs::path folder;
    Recorder recorder;
    std::unique_ptr<QtDownloader> downloader;
};

TEST_F(DownloaderTest, ACompleteDownloadLandsInThePrivateFolderWithItsBytes) {
    const std::string body = Body(300000);
    server.Set({.body = body});
    ASSERT_TRUE(downloader->BeginDownload(server.Url("/packages/Setup-5.1.sh"), "KS-1"));
    EXPECT_TRUE(downloader->IsBusy());
    EXPECT_TRUE(recorder.completions.empty()) << "never inside BeginDownload";

    ASSERT_TRUE(WaitForCompletion());
    Drain();
    const fs::path expected = fs::canonical(folder) / "Setup-5.1.sh";
    ASSERT_EQ(recorder.completions, std::vector<std::string>{expected.string()});
    EXPECT_FALSE(recorder.busyAtCompletion);
    EXPECT_EQ(recorder.localFileAtCompletion, expected.string());
    EXPECT_EQ(downloader->LocalFile(), expected.string());
    EXPECT_EQ(ReadFile(expected), body);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Setup-5.1.sh"}) << "no partial file left";
    EXPECT_EQ(server.Paths(), std::vector<std::string>{"/packages/Setup-5.1.sh"});

    // The folder is the user's alone; a plain data file is not made executable.
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(expected).permissions() & fs::perms::owner_exec, fs::perms::none);

    // The last report before the completion says 100% of the whole.
    ASSERT_FALSE(recorder.reports.empty());
    const Recorder::Report& last = recorder.reports.back();
    EXPECT_EQ(last.percent, 100);
    EXPECT_EQ(last.received, 300000);
    EXPECT_EQ(last.total, 300000);
    EXPECT_EQ(last.remaining, 0);
    EXPECT_EQ(recorder.reportsAfterCompletion, 0);
}

TEST_F(DownloaderTest, NamesFromTheAddressStayInsideTheFolder) {
    server.Set({.body = "payload"});
    const fs::path canonical = [&] {
        fs::create_directories(folder);
        return fs::canonical(folder);
    }();
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"/../../etc/passwd", "passwd"},
        {"/x/..%2F..%2Fetc%2Fpasswd", "_._etc_passwd"},
        {"/a%2Fb", "a_b"},
        {"/dir/a%5Cb.txt", "a_b.txt"},
        {"/.hidden", "hidden"},
        {"/...", "download.bin"},
        {"/", "download.bin"},
        {"/packages/", "download.bin"},
        {"/tab%09and%0Anewline.sh?x=1#frag", "tabandnewline.sh"},
        {"/Gr%C3%BC%C3%9Fe%20neu.msp", "Grüße_neu.msp"},
        {"/Keldra%20%22Up%27date%22;$x.sh", "Keldra__Up_date___x.sh"},
    };
    for (const Case& c : cases) {
        const std::string value = Download(c.path);
        EXPECT_EQ(value, (canonical / c.name).string()) << c.path;
        EXPECT_EQ(ReadFile(canonical / c.name), "payload") << c.path;
    }
    for (const std::string& name : FolderNames())
        EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    // Nothing was written outside the folder.
    std::vector<std::string> outside;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().parent_path() != canonical)
            outside.push_back(entry.path().string());
    EXPECT_TRUE(outside.empty()) << outside.front();
}

TEST(DownloaderNames, SafeNamesAreShortAndPlain) {
    EXPECT_EQ(QtDownloader::SafeFileName("http://h/p/Setup.exe"), "Setup.exe");
    EXPECT_EQ(QtDownloader::SafeFileName("http://h"), "download.bin");
    EXPECT_EQ(QtDownloader::SafeFileName("http://h/a..b"), "a.b");
    EXPECT_EQ(QtDownloader::SafeFileName("http://h/%2E%2E"), "download.bin");
    EXPECT_EQ(QtDownloader::SafeFileName("http://h/x%00y%7F%C2%85z"), "xyz");
    EXPECT_EQ(QtDownloader::SafeFileName("file:///tmp/pkg.tar.gz"), "pkg.tar.gz");

    // Long names keep their extension and never split a character.
    const std::string longName = std::string(300, 'x') + ".msp";
    const std::string cut = QtDownloader::SafeFileName("http://h/" + longName);
    EXPECT_EQ(cut, std::string(196, 'x') + ".msp");
    std::string umlauts;
    for (int i = 0; i < 150; ++i)
        umlauts += "%C3%A4"; // "ä", two bytes each
    const std::string wide = QtDownloader::SafeFileName("http://h/" + umlauts);
    EXPECT_EQ(wide.size(), 200u);
    EXPECT_EQ(wide.substr(0, 4), "ää");
    const std::string oddCut = QtDownloader::SafeFileName("http://h/x" + umlauts);
    EXPECT_EQ(oddCut.size(), 199u) << "a cut inside a character goes back to its start";
}

TEST(DownloaderNames, TheDefaultFolderFollowsTheCacheDirectory) {
    const char* previous = std::getenv("XDG_CACHE_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_CACHE_HOME", "/var/tmp/cache-of-test", 1);
    EXPECT_EQ(QtDownloader::DefaultFolder(), "/var/tmp/cache-of-test/kdautoupdate/downloads");
    ::setenv("XDG_CACHE_HOME", "relative/ignored", 1);
    const std::string fallback = QtDownloader::DefaultFolder();
    EXPECT_NE(fallback.find("/.cache/kdautoupdate/downloads"), std::string::npos) << fallback;
    if (previous)
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

TEST_F(DownloaderTest, FailedTransfersLeaveNoFileAndReportEmpty) {
    struct Case {
        const char* what;
        PackageServer::Answer answer;
    };
    const std::string body = Body(200000);
    const Case cases[] = {
        {"not found", {.status = 404, .body = "<html>Nicht gefunden</html>"}},
        {"server error", {.status = 500, .body = "oops"}},
        {"connection dropped halfway", {.body = body, .closeAfter = 100000}},
        {"dropped while sending slowly",
         {.body = body, .closeAfter = 60000, .pieceBytes = 20000, .pieceIntervalMs = 20}},
        {"fewer bytes than announced", {.body = body, .contentLength = 250000}},
    };
    for (const Case& c : cases) {
        server.Set(c.answer);
        recorder.reports.clear();
        EXPECT_EQ(Download("/pkg.bin"), "") << c.what;
        Drain();
        EXPECT_EQ(recorder.completions.size(), 1u) << c.what;
        EXPECT_FALSE(recorder.busyAtCompletion) << c.what;
        EXPECT_EQ(recorder.localFileAtCompletion, "") << c.what;
        EXPECT_EQ(downloader->LocalFile(), "") << c.what;
        EXPECT_TRUE(FolderNames().empty()) << c.what;
        for (const auto& report : recorder.reports)
            EXPECT_LT(report.percent, 100) << c.what << ": no final report for a failure";
    }
    // Nothing listens on a port that was just closed.
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    recorder.completions.clear();
    ASSERT_TRUE(
        downloader->BeginDownload("http://127.0.0.1:" + std::to_string(port) + "/pkg.bin", "K2"));
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(recorder.completions, std::vector<std::string>{""});
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(DownloaderTest, RedirectsAreFollowedAndTheirBodiesDropped) {
    server.SetFor("/latest/setup.sh", {.status = 302,
                                       .body = "<html>moved</html>",
                                       .location = server.Url("/files/setup-5.1.sh")});
    server.SetFor("/files/setup-5.1.sh", {.body = "#!/bin/sh\necho 5.1\n"});
    const std::string value = Download("/latest/setup.sh");
    // The name comes from the address the caller gave.
    EXPECT_EQ(value, (fs::canonical(folder) / "setup.sh").string());
    EXPECT_EQ(ReadFile(value), "#!/bin/sh\necho 5.1\n");
    EXPECT_EQ(server.Paths(),
              (std::vector<std::string>{"/latest/setup.sh", "/files/setup-5.1.sh"}));

    // A redirect that leads nowhere fails like any other error.
    server.SetFor("/loop", {.status = 302, .location = server.Url("/gone")});
    server.SetFor("/gone", {.status = 410, .body = "gone"});
    EXPECT_EQ(Download("/loop"), "");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"setup.sh"});
}

TEST_F(DownloaderTest, AnOlderFileIsReplacedOnlyByACompleteOne) {
    fs::create_directories(folder);
    std::ofstream(folder / "pkg.bin") << "old version";
    server.Set({.status = 404, .body = "missing"});
    EXPECT_EQ(Download("/pkg.bin"), "");
    EXPECT_EQ(ReadFile(folder / "pkg.bin"), "old version");

    server.Set({.body = Body(5000), .closeAfter = 2000});
    EXPECT_EQ(Download("/pkg.bin"), "");
    EXPECT_EQ(ReadFile(folder / "pkg.bin"), "old version");

    server.Set({.body = "new version"});
    const std::string value = Download("/pkg.bin");
    EXPECT_EQ(value, fs::canonical(folder / "pkg.bin").string());
    EXPECT_EQ(ReadFile(folder / "pkg.bin"), "new version");
}

TEST_F(DownloaderTest, AStalePartialFileOrALinkInItsPlaceIsNeverWrittenThrough) {
    fs::create_directories(folder);
    const fs::path victim = root / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, folder / "pkg.bin.part");
    server.Set({.body = "fresh"});
    const std::string value = Download("/pkg.bin");
    ASSERT_EQ(value, (fs::canonical(folder) / "pkg.bin").string());
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_EQ(ReadFile(folder / "pkg.bin"), "fresh");
}

TEST_F(DownloaderTest, ScriptsAndProgramsBecomeExecutable) {
    for (const std::string& body :
         {std::string("#!/bin/sh\necho update\n"), std::string("\x7f"
                                                               "ELF\x02\x01\x01",
                                                               7)}) {
        server.Set({.body = body});
        const std::string value = Download("/setup.run");
        ASSERT_FALSE(value.empty());
        EXPECT_NE(fs::status(value).permissions() & fs::perms::owner_exec, fs::perms::none);
        EXPECT_EQ(fs::status(value).permissions() & fs::perms::others_exec, fs::perms::none);
    }
    server.Set({.body = "#nothing to run"});
    const std::string value = Download("/notes.run");
    EXPECT_EQ(fs::status(value).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(DownloaderTest, ProgressIsPacedSmoothedAndEndsAtHundredPercent) {
    const std::string body = Body(120000);
    // About 1.2 s: 24 pieces of 5000 bytes, one every 50 ms.
    server.Set({.body = body, .pieceBytes = 5000, .pieceIntervalMs = 50});
    QElapsedTimer clock;
    clock.start();
    ASSERT_FALSE(Download("/slow.bin").empty());
    const long long elapsedMs = clock.elapsed();
    Drain();

    ASSERT_EQ(recorder.completions.size(), 1u);
    const auto& reports = recorder.reports;
    // Four a second at most, plus the final report.
    EXPECT_LE(static_cast<long long>(reports.size()), elapsedMs / 250 + 2) << elapsedMs;
    EXPECT_GE(reports.size(), 3u) << "a transfer of over a second reports while it runs";
    long long previous = 0;
    bool sawRate = false;
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        const auto& r = reports[i];
        EXPECT_GE(r.received, previous);
        previous = r.received;
        EXPECT_EQ(r.total, 120000);
        EXPECT_EQ(r.percent, r.received * 100 / 120000);
        if (r.rate > 0) {
            sawRate = true;
            // Roughly 100 kB/s; the average smooths the pieces' rhythm.
            EXPECT_GT(r.rate, 20000) << i;
            EXPECT_LT(r.rate, 500000) << i;
            EXPECT_GE(r.remaining, 0);
            EXPECT_LE(r.remaining, 10);
        } else {
            EXPECT_EQ(r.remaining, -1);
        }
    }
    EXPECT_TRUE(sawRate);
    EXPECT_EQ(reports.back().percent, 100);
    EXPECT_EQ(reports.back().received, 120000);
    EXPECT_EQ(reports.back().remaining, 0);
    EXPECT_GT(reports.back().rate, 0);
}

TEST_F(DownloaderTest, CancelHalfwayRemovesThePartQuietly) {
    const std::string body = Body(200000);
    server.Set({.body = body, .holdAfter = 100000});
    ASSERT_TRUE(downloader->BeginDownload(server.Url("/big.bin"), "KS-7"));
    // Wait until half of it is on disk.
    ASSERT_TRUE(loop.RunUntil(
        [&] { return !recorder.reports.empty() && recorder.reports.back().received == 100000; },
        kWaitMs));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"big.bin.part"});

    downloader->CancelDownload("another key");
    EXPECT_TRUE(downloader->IsBusy()) << "only the running key cancels";
    downloader->CancelDownload("KS-7");
    EXPECT_FALSE(downloader->IsBusy());
    EXPECT_TRUE(FolderNames().empty());
    EXPECT_EQ(downloader->LocalFile(), "");
    const size_t reportsAtCancel = recorder.reports.size();
    Drain();
    EXPECT_TRUE(recorder.completions.empty()) << "the one who cancelled is not told it failed";
    EXPECT_EQ(recorder.reports.size(), reportsAtCancel);
    // Cancelling again does nothing; the control takes the next transfer at once.
    downloader->CancelDownload("KS-7");
    server.Set({.body = Body(1000)});
    ASSERT_TRUE(downloader->BeginDownload(server.Url("/small.bin"), "KS-8"));
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(recorder.completions.size(), 1u);
    EXPECT_NE(recorder.completions[0], "");
}

TEST_F(DownloaderTest, DestroyedDuringATransferItStopsSilently) {
    server.Set({.body = Body(100000), .holdAfter = 40000});
    ASSERT_TRUE(downloader->BeginDownload(server.Url("/held.bin"), "K"));
    ASSERT_TRUE(loop.RunUntil([&] { return !recorder.reports.empty(); }, kWaitMs));
    downloader.reset();
    Drain();
    EXPECT_TRUE(recorder.completions.empty());
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(DownloaderTest, OneTransferAtATimeAndOnlyWebAddresses) {
    server.Set({.body = Body(50000), .holdAfter = 1000});
    ASSERT_TRUE(downloader->BeginDownload(server.Url("/one.bin"), "A"));
    EXPECT_FALSE(downloader->BeginDownload(server.Url("/two.bin"), "B"));
    downloader->CancelDownload("A");
    Drain();
    EXPECT_TRUE(recorder.completions.empty());

    for (const char* refused : {"ftp://127.0.0.1/x.bin", "javascript:alert(1)", "", "http://",
                                "relative/path.bin", "file:///bin/sh", "file://host/x.bin"})
        EXPECT_FALSE(downloader->BeginDownload(refused, "C")) << refused;
    EXPECT_FALSE(downloader->IsBusy());
}

TEST_F(DownloaderTest, TheFactoryMakesControlsForItsFolder) {
    QtDownloaderFactory factory(folder.string());
    std::unique_ptr<IDownloader> made = factory.CreateDownloader();
    ASSERT_TRUE(made);
    Recorder events(made.get());
    made->SetEvents(&events);
    server.Set({.body = "via factory"});
    ASSERT_TRUE(made->BeginDownload(server.Url("/f.bin"), "K"));
    ASSERT_TRUE(loop.RunUntil([&] { return !events.completions.empty(); }, kWaitMs));
    EXPECT_EQ(events.completions,
              std::vector<std::string>{(fs::canonical(folder) / "f.bin").string()});
}

// The fake keeps the real control's contract: ends arrive from the loop, IsBusy is false by
// then, scripts of an ended transfer are dropped, the log outlives the control.
TEST(FakeDownloader, KeepsTheContractOfTheRealControl) {
    VirtualEventLoop loop;
    FakeDownloaderFactory factory(loop);
    factory.OnBegin([](FakeDownloader& d) {
        d.EmitProgress(50, 1000, 5, 5000, 10000, 100);
        d.Finish("/dl/pkg.sh", 200);
        d.EmitProgress(99, 1, 1, 9900, 10000, 300); // after the end: dropped
    });
    {
        std::unique_ptr<IDownloader> control = factory.CreateDownloader();
        Recorder events(control.get());
        control->SetEvents(&events);
        ASSERT_TRUE(control->BeginDownload("http://h/pkg.sh", "ID1"));
        EXPECT_TRUE(control->IsBusy());
        EXPECT_EQ(factory.Last(), control.get());
        loop.Advance(150);
        ASSERT_EQ(events.reports.size(), 1u);
        EXPECT_EQ(events.reports[0].received, 5000);
        EXPECT_TRUE(events.completions.empty());
        loop.Advance(1000);
        EXPECT_EQ(events.completions, std::vector<std::string>{"/dl/pkg.sh"});
        EXPECT_FALSE(events.busyAtCompletion);
        EXPECT_EQ(events.localFileAtCompletion, "/dl/pkg.sh");
        EXPECT_EQ(events.reports.size(), 1u);

        // A cancel ends the transfer at once and quietly; the script's end is dropped.
        ASSERT_TRUE(control->BeginDownload("http://h/other.sh", "ID2"));
        control->CancelDownload("ID2");
        EXPECT_FALSE(control->IsBusy());
        loop.Advance(1000);
        EXPECT_EQ(events.completions.size(), 1u);
        EXPECT_EQ(control->LocalFile(), "");
        EXPECT_TRUE(control->BeginDownload("http://h/third.sh", "ID3"));
    }
    EXPECT_EQ(factory.Last(), nullptr);
    const FakeDownloadLog& log = factory.Log();
    ASSERT_EQ(log.begins.size(), 3u);
    EXPECT_EQ(log.begins[0].url, "http://h/pkg.sh");
    EXPECT_EQ(log.begins[0].key, "ID1");
    EXPECT_TRUE(log.begins[2].accepted);
    EXPECT_EQ(log.cancels, std::vector<std::string>{"ID2"});
    EXPECT_EQ(log.completions, (std::vector<std::string>{"/dl/pkg.sh"}));
}

TEST(FakeDownloader, AControlGoneBeforeItsScriptRunsDeliversNothing) {
    VirtualEventLoop loop;
    Recorder events;
    auto control = std::make_unique<FakeDownloader>(loop);
    control->SetEvents(&events);
    ASSERT_TRUE(control->BeginDownload("http://h/x", "K"));
    control->Fail(10);
    control.reset();
    loop.Advance(100);
    EXPECT_TRUE(events.completions.empty());

    FakeDownloader busy(loop);
    busy.SetEvents(&events);
    busy.SetBusy(true);
    ASSERT_TRUE(busy.BeginDownload("http://h/y", "K"));
    busy.Finish("/dl/y");
    loop.Advance(1);
    EXPECT_TRUE(events.busyAtCompletion) << "the fixed answer holds at the end";
    EXPECT_TRUE(busy.IsBusy());
    EXPECT_EQ(events.completions, std::vector<std::string>{"/dl/y"});
}

} // namespace
} // namespace KDAutoUpdate
