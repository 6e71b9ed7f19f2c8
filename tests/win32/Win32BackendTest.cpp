// The Win32 backends against the real system (or wine): what the core's tests, which run on
// MSXML 6 under wine too, never meet: its asynchronous load, the message loop and its timers,
// the resource library and its animation, processes, the store's file replaced whole.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "agent/AuAgent.h"
#include "platform/Desktop.h"
#include "platform/SignatureVerifier.h"
#include "platform/sodium/SodiumSigner.h"
#include "platform/win32/MsXmlService.h"
#include "platform/win32/Win32AnimationPlayer.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ProcessLauncher.h"
#include "platform/win32/Win32ResourceLibrary.h"
#include "platform/win32/Win32UtilityLibrary.h"
#include "tests/support/FileText.h"
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

using Win32Animation = Win32Backend;

TEST_F(Win32Animation, TheResourceLibrarysAnimationPlaysItsPassesAndStops) {
    Win32ResourceLibrary library;
    ASSERT_TRUE(library.OpenResourceLibrary(
        (std::filesystem::path(Win32Platform::ProgramFolder()) / library.FileName()).string()));
    HWND surface = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 377, 49, nullptr, nullptr,
                                   nullptr, nullptr);
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

using Win32Store = Win32Backend;

TEST_F(Win32Store, ASaveReplacesTheFileAndLeavesNoTemporaryBehind) {
    Win32Platform host;
    host.platform().programFolder = folder.string();
    // What a writer that died in the middle of a save left; its process id is no process.
    std::ofstream(folder / "updateinfo.xml.tmp4000000000", std::ios::binary)
        << "<update-info><half";
    std::ofstream(folder / "updateinfo.xml", std::ios::binary)
        << "<update-info><product code=\"{B}\" n=\"1\"/></update-info>";
    {
        AuAgent agent(host.platform());
        agent.SetProductCode("{B}");
        EXPECT_EQ(agent.GetProductAttribute("n"), "1");
        agent.SetProductAttribute("n", "2");
    }
    const std::string saved = ReadFile(folder / "updateinfo.xml");
    EXPECT_NE(saved.find("n=\"2\""), std::string::npos) << saved;
    // The lock file beside the store stays: removing it would race with another agent's lock.
    EXPECT_EQ(FileNames(folder),
              (std::vector<std::string>{"updateinfo.xml", "updateinfo.xml.lock"}));
}

// Signed products' checks (libsodium built for Windows) on a name outside the ANSI code page:
// the agent's paths are UTF-8. The desktop takes web addresses only.
using Win32PlatformServices = Win32Backend;

TEST_F(Win32PlatformServices, SignaturesAndHashesAreCheckedAndTheDesktopTakesAddresses) {
    Win32Platform host;
    ASSERT_NE(host.platform().desktop, nullptr);
    EXPECT_FALSE(host.platform().desktop->OpenUrl("file:///C:/Windows/notepad.exe"));
    ISignatureVerifier* signatures = host.platform().signatures;
    ASSERT_NE(signatures, nullptr);
    const std::filesystem::path file = folder / std::filesystem::path(u8"paket-\u00e4\u0436.msp");
    std::ofstream(file, std::ios::binary) << "abc";
    const std::string path = reinterpret_cast<const char*>(file.u8string().c_str());
    // The SHA-256 test vector of "abc".
    EXPECT_EQ(signatures->FileSha256(path),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const auto pair = SodiumSigner::GenerateKeyPair();
    ASSERT_TRUE(pair);
    const auto signature = SodiumSigner::SignFile(path, pair->secretKey);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(signatures->VerifyFile(path, *signature, pair->publicKey));
    const auto dataSignature = SodiumSigner::SignData("<answer/>", pair->secretKey);
    ASSERT_TRUE(dataSignature);
    EXPECT_TRUE(signatures->VerifyData("<answer/>", *dataSignature, pair->publicKey));
    EXPECT_FALSE(signatures->VerifyData("<answer />", *dataSignature, pair->publicKey));
    EXPECT_FALSE(signatures->VerifyFile(path, *dataSignature, pair->publicKey));
    EXPECT_TRUE(signatures->RemoveFile(path));
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
} // namespace KDAutoUpdate
