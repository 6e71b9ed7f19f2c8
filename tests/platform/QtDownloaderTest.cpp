// The download control and the answer fetcher against a scripted HTTP server on 127.0.0.1. The
// limits tests shorten the bounds so each case ends within a second.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "platform/qt/QtDownloader.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtRedirectGuard.h"
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

// The completions, with the control's state at each.
class Recorder : public IDownloadEvents {
public:
    void DownloadProgress(long long, long long, long long, long long, long long, long long,
                          long long) override {}
    void DownloadComplete(const std::string& value) override {
        completions.push_back(value);
        busyAtCompletion = downloader->IsBusy();
        localFileAtCompletion = downloader->LocalFile();
    }

    IDownloader* downloader = nullptr;
    std::vector<std::string> completions;
    bool busyAtCompletion = true;
    std::string localFileAtCompletion = "unset";
};

class DownloaderTest : public ::testing::Test {
protected:
    DownloaderTest() : root(TestPlatform::MakeTempFolder("downloads")) {
        // Not there yet: the control makes it.
        Use(root / "cache" / "downloads");
    }
    ~DownloaderTest() override {
        downloader.reset();
        std::error_code error;
        fs::remove_all(root, error);
    }
    // Retries come quickly here; the bounds are the defaults otherwise.
    void Use(const fs::path& where, NetworkLimits limits = {.retryDelayMs = 10}) {
        folder = where;
        downloader = std::make_unique<QtDownloader>(folder.string(), limits, root.string());
        recorder.downloader = downloader.get();
        downloader->SetEvents(&recorder);
    }
    bool WaitForCompletion() {
        return loop.RunUntil([&] { return !recorder.completions.empty(); }, kWaitMs);
    }
    // Downloads `path` from the server; the completion's value.
    std::string Download(const std::string& path) {
        recorder.completions.clear();
        if (!downloader->BeginDownload(server.Url(path), "K1"))
            return "refused";
        return WaitForCompletion() ? recorder.completions.front() : "timed out";
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
    for (int i = 0; i < 5; ++i) // so that a second completion would show
        loop.ProcessPendingEvents();
    const fs::path expected = fs::canonical(folder) / "Setup-5.1.sh";
    ASSERT_EQ(recorder.completions, std::vector<std::string>{expected.string()});
    EXPECT_FALSE(recorder.busyAtCompletion);
    EXPECT_EQ(recorder.localFileAtCompletion, expected.string());
    EXPECT_EQ(downloader->LocalFile(), expected.string());
    EXPECT_EQ(ReadFile(expected), body);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"Setup-5.1.sh"}) << "no part left";

    // The folder is the user's alone.
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(DownloaderTest, NamesFromTheAddressStayInsideTheFolder) {
    server.Set({.body = "payload"});
    fs::create_directories(folder);
    const fs::path canonical = fs::canonical(folder);
    const std::pair<const char*, const char*> cases[] = {
        {"/../../etc/passwd", "passwd"},
        {"/x/..%2F..%2Fetc%2Fpasswd", "_._etc_passwd"},
        {"/dir/a%5Cb.txt", "a_b.txt"},
        {"/.hidden", "hidden"},
        {"/...", "download.bin"},
        {"/tab%09and%0Anewline.sh?x=1#frag", "tabandnewline.sh"},
        {"/Gr%C3%BC%C3%9Fe%20neu.msp", "Grüße_neu.msp"},
        {"/Keldra%20%22Up%27date%22;$x.sh", "Keldra__Up_date___x.sh"},
        {"/x.msp%3A%24DATA", "x.msp__DATA"},
        {"/nul.msp", "_nul.msp"},
        {"/setup.msp.", "setup.msp"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(Download(path), (canonical / name).string()) << path;
        EXPECT_EQ(ReadFile(canonical / name), "payload") << path;
    }
}

TEST_F(DownloaderTest, AnOlderFileIsReplacedOnlyByACompleteOneAndNeverThroughALink) {
    fs::create_directories(folder);
    std::ofstream(folder / "pkg.bin") << "old version";
    const fs::path victim = root / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, folder / "pkg.bin.part");
    for (const ScriptedHttpServer::Answer& failing :
         {ScriptedHttpServer::Answer{.status = 404, .body = "missing"},
          ScriptedHttpServer::Answer{.body = Body(5000), .closeAfter = 2000}}) {
        server.Set(failing);
        EXPECT_EQ(Download("/pkg.bin"), "");
        EXPECT_EQ(ReadFile(folder / "pkg.bin"), "old version");
    }
    server.Set({.body = "new version"});
    EXPECT_EQ(Download("/pkg.bin"), fs::canonical(folder / "pkg.bin").string());
    EXPECT_EQ(ReadFile(folder / "pkg.bin"), "new version");
    EXPECT_EQ(ReadFile(victim), "keep me");
}

TEST_F(DownloaderTest, ScriptsAndProgramsBecomeExecutable) {
    for (const auto& [body, runs] : {std::pair{std::string("#!/bin/sh\necho update\n"), true},
                                     std::pair{std::string("\177ELF\2\1\1"), true},
                                     std::pair{std::string("#nothing to run"), false}}) {
        server.Set({.body = body});
        const std::string value = Download("/setup.run");
        ASSERT_FALSE(value.empty());
        const fs::perms perms = fs::status(value).permissions();
        EXPECT_EQ((perms & fs::perms::owner_exec) != fs::perms::none, runs) << body;
        EXPECT_EQ(perms & fs::perms::others_exec, fs::perms::none);
    }
}

TEST_F(DownloaderTest, OnlyWebAddresses) {
    for (const char* refused : {"ftp://127.0.0.1/x.bin", "javascript:alert(1)", "", "http://",
                                "relative/path.bin", "file:///bin/sh", "file://host/x.bin"})
        EXPECT_FALSE(downloader->BeginDownload(refused, "C")) << refused;
    EXPECT_FALSE(downloader->IsBusy());
}

class NetworkLimitsTest : public DownloaderTest {
protected:
    NetworkLimitsTest() {
        // `piece` every 20 ms until the client goes; `length` announced (-2: none).
        const auto endless = [](std::string piece, qint64 length) {
            const auto size = static_cast<qint64>(piece.size());
            return ScriptedHttpServer::Answer{.body = std::move(piece),
                                              .contentLength = length,
                                              .pieceBytes = size,
                                              .pieceIntervalMs = 20,
                                              .endless = true};
        };
        server.SetFor("/big", {.body = std::string(5000, 'x')});
        server.SetFor("/endless", endless(std::string(4000, 'x'), -2));
        server.SetFor("/trickle", endless("x", 100000));
        server.SetFor("/slow", endless("x", -2));
        server.SetFor("/unframed", {.body = "#!/bin/sh\necho trun", .contentLength = -2});
        const std::string chunked = "Transfer-Encoding: chunked\r\n";
        server.SetFor("/chunked",
                      {.body = "5\r\nhello\r\n0\r\n\r\n", .contentLength = -2, .headers = chunked});
        server.SetFor("/short", {.body = "#!/bin/sh\n", .contentLength = 100});
        server.SetFor("/long", {.body = "<r/>; rm -rf ~", .contentLength = 4});
        server.SetFor("/ok", {.body = "<r/>"});
        server.SetFor("/elsewhere",
                      {.status = 302, .body = "moved", .location = server.Url("/ok", "localhost")});
        server.SetFor("/samehost", {.status = 302, .body = "moved", .location = server.Url("/ok")});
        Use(root / "dl", limits);
    }

    NetworkLimits limits{.maxAnswerBytes = 1000,
                         .answerDeadlineMs = 300,
                         .floorBytesPerSecond = 1000,
                         .floorWindowMs = 300,
                         .maxUnsizedPackageBytes = 3000,
                         .retryDelayMs = 10};
};

TEST_F(NetworkLimitsTest, AnswersAreBoundedInSizeTimeAndRedirects) {
    QtHttpFetcher fetcher(limits);
    for (const auto& [path, error] :
         {std::pair{"/big", -QNetworkReply::UnknownContentError},
          // Too much announced ends the answer at once, before its deadline.
          std::pair{"/trickle", -QNetworkReply::UnknownContentError},
          std::pair{"/endless", -QNetworkReply::UnknownContentError},
          std::pair{"/slow", -QNetworkReply::TimeoutError},
          std::pair{"/elsewhere", -QNetworkReply::OperationCanceledError},
          std::pair{"/samehost", 0}}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(fetcher.GetSync(server.Url(path)).error, error) << path;
        EXPECT_LT(clock.elapsed(), 2000) << path;
    }
}

TEST_F(NetworkLimitsTest, ADownloadEndsAtItsAnnouncedSizeOrWithoutOneAtTheCap) {
    for (const char* failing : {"/trickle", "/endless", "/short", "/elsewhere"})
        EXPECT_EQ(Download(failing), "") << failing;
    EXPECT_TRUE(FileNames(folder).empty()); // no partial file left
    // A cut without a size, or a size smaller than the file, looks whole to HTTP: only the
    // package's hash tells. A redirect's body is dropped; the name comes from the address asked.
    for (const auto& [path, body] :
         std::vector<std::pair<std::string, std::string>>{{"/samehost", "<r/>"},
                                                          {"/long", "<r/>"},
                                                          {"/unframed", "#!/bin/sh\necho trun"},
                                                          {"/chunked", "hello"},
                                                          {"/big", std::string(5000, 'x')}}) {
        const std::string file = Download(path);
        EXPECT_EQ(fs::path(file).filename(), path.substr(1));
        EXPECT_EQ(ReadFile(file), body) << path;
    }
}

TEST_F(NetworkLimitsTest, AFolderWithABlankGivesWayToOneACommandLineCarries) {
    Use(root / "qa team" / "dl", limits);
    const std::string file = Download("/ok");
    EXPECT_EQ(file, (fs::canonical(root) / ("kdautoupdate-" + std::to_string(::getuid())) /
                     "downloads" / "ok")
                        .string());
    EXPECT_EQ(ReadFile(file), "<r/>");
}

TEST_F(NetworkLimitsTest, LeftoversAreTidiedAwayByTheNextDownload) {
    fs::create_directories(folder);
    const auto now = fs::file_time_type::clock::now();
    // A partial file with its resume record waits for its next transfer as long as a package
    // would; a record alone is of no use.
    const auto make = [&](const std::string& name, int hours) {
        std::ofstream(folder / name) << "x";
        fs::last_write_time(folder / name, now - std::chrono::hours(hours));
    };
    make("killed.part", 1), make("running.part", 0), make("ancient.sh", 24 * 40);
    make("paused.bin.part", 24), make("paused.bin.resume", 24), make("orphan.resume", 0);
    for (int i = 1; i <= 5; ++i)
        make("p" + std::to_string(i) + ".sh", i);
    ASSERT_NE(Download("/ok"), "");
    const std::vector<std::string> names = FileNames(folder);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"running.part", "paused.bin.part", "paused.bin.resume",
                                     "p1.sh", "p2.sh", "p3.sh", "p4.sh", "ok"}));
}

TEST_F(DownloaderTest, TidyingCountsAndAgesOnlyThisProductsPackagesAndKeepsRecordedOnes) {
    server.Set({.body = "payload"});
    const auto now = fs::file_time_type::clock::now();
    const auto age = [&](const std::string& file, std::chrono::hours hours) {
        fs::last_write_time(file, now - hours);
    };
    // Product A: three recent packages, and beside them a package recorded for the next start
    // and two more, all past their age.
    downloader->SetProduct("{AB12}");
    std::vector<std::string> recent;
    for (const char* name : {"/a1.sh", "/a2.sh", "/a3.sh"})
        recent.push_back(Download(name));
    for (std::size_t i = 0; i < recent.size(); ++i)
        age(recent[i], std::chrono::hours(static_cast<int>(i) + 1));
    const fs::path own = fs::path(recent.front()).parent_path();
    const std::string recorded = (own / "recorded.msp").string();
    const std::string dotted = (own / "dotted.sh").string();
    const std::string stale = (own / "stale.sh").string();
    for (const std::string& file : {recorded, dotted, stale}) {
        std::ofstream(file) << "x";
        age(file, std::chrono::hours(24 * 40));
    }

    // Product B, in the same folder, downloads six packages: its own newest five stay, and
    // product A's count and age for nothing.
    Use(folder);
    downloader->SetProduct("{CD34}");
    std::vector<std::string> other;
    for (const char* name : {"/b1.sh", "/b2.sh", "/b3.sh", "/b4.sh", "/b5.sh", "/b6.sh"})
        other.push_back(Download(name));
    for (const std::string& file : other)
        EXPECT_EQ(fs::exists(file), file != other.front()) << file;
    for (const std::string& file : recent)
        EXPECT_TRUE(fs::exists(file)) << file << ": another product's package counted";
    for (const std::string& file : {recorded, dotted, stale})
        EXPECT_TRUE(fs::exists(file)) << file << ": another product's package aged";

    // Product A's next download tidies its own. What the store names stays, however old, also
    // when spelled through ".."; a file of the same name in another folder keeps nothing.
    Use(folder);
    downloader->SetProduct("{AB12}");
    downloader->KeepFiles({recorded, (own / ".." / own.filename() / "dotted.sh").string(),
                           (root / "elsewhere" / "stale.sh").string()});
    ASSERT_NE(Download("/a4.sh"), "refused");
    EXPECT_TRUE(fs::exists(recorded));
    EXPECT_TRUE(fs::exists(dotted));
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string& file : recent)
        EXPECT_TRUE(fs::exists(file)) << file;
}

TEST(RedirectGuard, OnlyToHttpsOrWithinTheSameHost) {
    using Case = std::tuple<const char*, const char*, bool>; // from, to, allowed
    for (const auto& [from, to, allowed] :
         {Case{"http://a/x", "https://b/y", true}, Case{"http://a/x", "http://a:81/y", true},
          Case{"http://a/x", "http://b/y", false}, Case{"https://a/x", "http://a/y", false},
          Case{"http://a/x", "file:///bin/sh", false}, Case{"http://a/x", "ftp://a/y", false}})
        EXPECT_EQ(QtRedirectGuard::IsAllowed(QUrl(from), QUrl(to)), allowed)
            << from << " -> " << to;
}

} // namespace
} // namespace KDAutoUpdate
