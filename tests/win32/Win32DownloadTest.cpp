// The download dialog's Win32 parts: the WinHTTP download control against the embedded update
// service on 127.0.0.1 (its address in KDAU_SERVICE_BASE, and that of one that cuts its first
// package answer short in KDAU_CUTTING_SERVICE_BASE, set by scripts/test-windows.sh; skipped
// without), and the animation player on the resource library's animation.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "platform/win32/Win32AnimationPlayer.h"
#include "platform/win32/Win32Downloader.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ResourceLibrary.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

class Win32Download : public ::testing::Test, public IDownloadEvents {
protected:
    void SetUp() override {
        if (const char* base = std::getenv("KDAU_SERVICE_BASE"))
            service = base;
        if (service.empty())
            GTEST_SKIP() << "no update service (KDAU_SERVICE_BASE)";
        downloader.SetEvents(this);
    }
    ~Win32Download() override { fs::remove_all(folder); }

    void DownloadProgress(long long, long long percent, long long, long long, long long received,
                          long long total, long long) override {
        lastPercent = percent;
        lastReceived = received;
        lastTotal = total;
    }
    void DownloadComplete(const std::string& value) override { completions.push_back(value); }

    std::vector<fs::path> Files() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(fs::path(downloader.Folder())))
            files.push_back(entry.path().filename());
        return files;
    }

    std::string service;
    fs::path folder = TestPlatform::MakeTempFolder("win32-download");
    Win32EventLoop loop;
    // A blank in the folder's path: the installer's command line would split there.
    Win32Downloader downloader{loop, (folder / "my downloads").string(),
                               NetworkLimits{.retryDelayMs = 20}};
    long long lastPercent = -1, lastReceived = -1, lastTotal = -1;
    std::vector<std::string> completions;
};

TEST_F(Win32Download, PackagesLandWholeInTheFolderAndFailuresLeaveNothing) {
    struct Case {
        std::string url;
        bool begins;
        const char* file; // expected in the folder afterwards; null for none
    };
    const Case cases[] = {
        {service + "/packages/KeldraStudio-5.0.3.msp", true, "KeldraStudio-5.0.3.msp"},
        {service + "/packages/missing.msp", true, nullptr},
        {"http://127.0.0.1:1/packages/refused.msp", true, nullptr},
        {"file:///C:/windows/win.ini", false, nullptr},
    };
    for (const Case& c : cases) {
        for (const fs::path& file : Files())
            fs::remove(fs::path(downloader.Folder()) / file);
        completions.clear();
        lastPercent = -1;
        ASSERT_EQ(downloader.BeginDownload(c.url, "{M}"), c.begins) << c.url;
        if (!c.begins) {
            EXPECT_TRUE(Files().empty()) << c.url;
            continue;
        }
        ASSERT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000)) << c.url;
        EXPECT_FALSE(downloader.IsBusy());
        const std::vector<fs::path> expected =
            c.file ? std::vector<fs::path>{c.file} : std::vector<fs::path>{};
        EXPECT_EQ(Files(), expected) << c.url;
        EXPECT_EQ(completions, std::vector<std::string>{downloader.LocalFile()}) << c.url;
        if (!c.file) {
            EXPECT_EQ(downloader.LocalFile(), "") << c.url;
            continue;
        }
        const fs::path local = fs::path(downloader.Folder()) / c.file;
        EXPECT_TRUE(fs::equivalent(fs::path(downloader.LocalFile()), local));
        EXPECT_EQ(downloader.LocalFile().find(' '), std::string::npos) << downloader.LocalFile();
        EXPECT_EQ(lastPercent, 100);
        EXPECT_GT(lastTotal, 0);
        EXPECT_EQ(lastReceived, lastTotal);
        EXPECT_EQ(static_cast<long long>(fs::file_size(local)), lastTotal);
    }
}

TEST_F(Win32Download, CancelRemovesThePartialFileQuietly) {
    ASSERT_TRUE(downloader.BeginDownload(service + "/packages/KeldraStudio-5.0.3.msp", "{M}"));
    EXPECT_FALSE(downloader.BeginDownload(service + "/packages/KeldraStudio-5.0.3.msp", "{N}"));
    EXPECT_EQ(Files(), std::vector<fs::path>{"KeldraStudio-5.0.3.msp.part"});
    downloader.CancelDownload("{N}"); // another key: not this transfer
    EXPECT_TRUE(downloader.IsBusy());
    downloader.CancelDownload("{M}");
    EXPECT_FALSE(downloader.IsBusy());
    EXPECT_TRUE(Files().empty());
    loop.RunFor(300);
    EXPECT_TRUE(completions.empty());
    EXPECT_TRUE(Files().empty());
}

TEST_F(Win32Download, ATransferCutShortContinuesWhereItStopped) {
    const char* cutting = std::getenv("KDAU_CUTTING_SERVICE_BASE");
    if (!cutting)
        GTEST_SKIP() << "no cutting update service (KDAU_CUTTING_SERVICE_BASE)";
    // The service closes the connection after 200 of the package's 407 bytes.
    ASSERT_TRUE(
        downloader.BeginDownload(std::string(cutting) + "/packages/KeldraStudio-5.0.3.msp", "{M}"));
    ASSERT_TRUE(loop.RunUntil([&] { return !completions.empty(); }, 30000));
    ASSERT_EQ(Files(), std::vector<fs::path>{"KeldraStudio-5.0.3.msp"});
    const auto size = static_cast<long long>(
        fs::file_size(fs::path(downloader.Folder()) / "KeldraStudio-5.0.3.msp"));
    EXPECT_EQ(size, 407);
    EXPECT_EQ(downloader.FetchedBytes(), size) << "the rest came as a range, nothing twice";
    EXPECT_EQ(completions, std::vector<std::string>{downloader.LocalFile()});
}

TEST(Win32Animation, TheResourceLibrarysAnimationPlaysItsPassesAndStops) {
    Win32ResourceLibrary library;
    ASSERT_TRUE(library.OpenResourceLibrary(
        (fs::path(Win32Platform::ProgramFolder()) / library.FileName()).string()));
    HWND surface = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 377, 49, nullptr, nullptr,
                                   nullptr, nullptr);
    Win32EventLoop loop;
    {
        Win32AnimationPlayer player(surface, &library);
        EXPECT_FALSE(player.Open("missing.gif"));
        EXPECT_FALSE(player.Play(0, -1, 1));
        ASSERT_TRUE(player.Open("101"));
        ASSERT_GT(player.FrameCount(), 2);
        EXPECT_FALSE(player.Play(3, 1, 1));
        ASSERT_TRUE(player.Play(1, 2, 2));
        EXPECT_TRUE(loop.RunUntil([&] { return !player.IsPlaying(); }, 5000));
        EXPECT_EQ(player.CurrentFrame(), 2); // two passes over frames 1..2, the last one stays
        RECT shown;
        GetClientRect(player.Window(), &shown);
        EXPECT_GT(shown.right, 0);
    }
    DestroyWindow(surface);
}

} // namespace
} // namespace KDAutoUpdate
