// The Win32 backends against the real system (or wine): MSXML 6's own asynchronous load, the
// message loop and its window timers, the resource library beside the program, processes.
// (The core's tests run on MSXML 6 under wine too: they cover its queries, edits and saves;
// what they never meet is checked here.)
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/win32/MsXmlService.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ProcessLauncher.h"
#include "platform/win32/Win32ResourceLibrary.h"
#include "platform/win32/Win32UtilityLibrary.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

class Win32Backend : public ::testing::Test {
protected:
    ~Win32Backend() override { std::filesystem::remove_all(folder); }
    Win32EventLoop loop;
    MsXmlService xml{nullptr, &loop};
    std::filesystem::path folder = TestPlatform::MakeTempFolder("win32");
};

TEST_F(Win32Backend, AsynchronousLoadReportsCompletionThroughTheLoop) {
    const std::string path = (folder / "answer.xml").string();
    std::ofstream(path) << "<CheckUpdate count=\"3\"/>";
    auto doc = xml.CreateDocument();
    bool complete = false;
    doc->setOnReadyStateChange([&] { complete = doc->readyState() == XmlReadyState::Complete; });
    doc->setAsync(true);
    ASSERT_TRUE(doc->load(path));
    EXPECT_TRUE(loop.RunUntil([&] { return complete; }, 5000)) << int(doc->readyState());
    EXPECT_EQ(doc->parseErrorCode(), 0);
    EXPECT_EQ(doc->documentElement()->getAttribute("count"), "3");
}

TEST_F(Win32Backend, TimersTickWithTheirKeyUntilStoppedAndPostedTasksRunLater) {
    auto timer = loop.CreateTimer();
    std::vector<std::string> ticks;
    timer->SetTimerHandler([&](const std::string& key) {
        ticks.push_back(key);
        if (ticks.size() == 2)
            timer->EnableTimer(key, false);
    });
    ASSERT_TRUE(timer->AddTimer("Check", 10, 0));
    EXPECT_FALSE(timer->AddTimer("Check", 10, 0));
    timer->AddTimer("Idle", 10, 0);
    EXPECT_FALSE(loop.RunUntil([&] { return !ticks.empty(); }, 100)); // added, not enabled
    timer->EnableTimer("Check", true);
    EXPECT_TRUE(loop.RunUntil([&] { return ticks.size() == 2; }, 5000));
    loop.RunFor(60);
    EXPECT_EQ(ticks, (std::vector<std::string>{"Check", "Check"}));
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));

    bool ran = false;
    loop.Post([&] { ran = true; });
    EXPECT_FALSE(ran);
    loop.ProcessPendingEvents();
    EXPECT_TRUE(ran);
}

// A message that arrived before a peek for another message (the loop's look for WM_QUIT) is
// no longer new to the queue; the loop's wait must still end for it, or a call from another
// process stays unserved.
TEST_F(Win32Backend, TheLoopsWaitEndsForAMessageQueuedBeforeItsLastPeek) {
    const DWORD self = GetCurrentThreadId();
    PostThreadMessageW(self, WM_APP, 0, 0);
    MSG msg;
    ASSERT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    HANDLE woken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool rescued = false;
    std::thread rescue([&] {
        if (WaitForSingleObject(woken, 5000) == WAIT_TIMEOUT) {
            rescued = true;
            PostThreadMessageW(self, WM_APP, 0, 0);
        }
    });
    Win32EventLoop::WaitForMessage();
    SetEvent(woken);
    rescue.join();
    CloseHandle(woken);
    EXPECT_FALSE(rescued);
    while (PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) {
    }
}

TEST_F(Win32Backend, ResourceLibraryBesideTheProgram) {
    Win32ResourceLibrary library;
    EXPECT_EQ(library.LoadResourcePicture("AAA", 16, 1, 0, 0, 0), nullptr);
    ASSERT_TRUE(library.OpenResourceLibrary(
        (std::filesystem::path(Win32Platform::ProgramFolder()) / library.FileName()).string()));
    EXPECT_NE(library.ReadResource("AuProgress.html").value_or("").find("lblProgress"),
              std::string::npos);
    EXPECT_EQ(library.ReadResource("101").value_or("").substr(0, 3), "GIF");
    EXPECT_FALSE(library.ReadResource("missing.gif"));
    for (const auto& [name, size] : {std::pair{"AAA", 16}, std::pair{"IC_QUESTION", 32}}) {
        auto picture = library.LoadResourcePicture(name, size, 1, 0, 0, 0);
        ASSERT_TRUE(picture) << name;
        ASSERT_EQ(picture->data.substr(1, 3), "PNG");
        EXPECT_EQ(static_cast<unsigned char>(picture->data[19]), size); // IHDR width, low byte
    }
    library.CloseResourceLibrary();
    EXPECT_FALSE(library.ReadResource("AuProgress.html"));
}

TEST_F(Win32Backend, CommandLinesStartAndProcessesAreFoundAndEndedByName) {
    const auto argsFile = folder / "args.txt";
    const std::string waiter =
        (std::filesystem::path(Win32Platform::ProgramFolder()) / "kdau_test_waiter.exe").string();
    Win32UtilityLibrary utility;
    EXPECT_FALSE(utility.IsProcessRunning("kdau_test_waiter"));
    Win32ProcessLauncher launcher;
    ASSERT_TRUE(launcher.StartCommandLine("\"" + waiter + "\" \"" + argsFile.string() +
                                          "\" 60000 /p \"C:\\a b\\x.msp\" ADDLOCAL=F1,F2"));
    EXPECT_TRUE(loop.RunUntil([&] { return std::filesystem::exists(argsFile); }, 10000));
    EXPECT_TRUE(utility.IsProcessRunning("KDAU_TEST_WAITER.EXE"));
    EXPECT_TRUE(utility.KillProcess("kdau_test_waiter"));
    EXPECT_FALSE(utility.IsProcessRunning("kdau_test_waiter"));
    std::stringstream args;
    args << std::ifstream(argsFile).rdbuf();
    EXPECT_EQ(args.str(), "/p\nC:\\a b\\x.msp\nADDLOCAL=F1,F2\n");
    EXPECT_FALSE(launcher.StartCommandLine("\"" + (folder / "none.exe").string() + "\""));
}

} // namespace
} // namespace KDAutoUpdate
