// The download control against a small HTTP server on 127.0.0.1 that the tests script: fixed
// bodies, wrong lengths, dropped connections, slow senders.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/qt/QtDownloader.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/platform/ScriptedHttpServer.h"
#include "tests/support/TestPlatform.h"

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
    ScriptedHttpServer server;
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
        {"/x.msp%3A%24DATA", "x.msp__DATA"},
        {"/nul.msp", "_nul.msp"},
        {"/setup.msp.", "setup.msp"},
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

TEST_F(DownloaderTest, FailedTransfersLeaveNoFileAndReportEmpty) {
    struct Case {
        const char* what;
        ScriptedHttpServer::Answer answer;
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

} // namespace
} // namespace KDAutoUpdate
