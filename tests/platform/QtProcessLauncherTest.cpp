// Starting command lines and handing addresses to the desktop, with small shell scripts in a
// folder under the build tree that write down what they received.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProcessLauncher.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

constexpr long kWaitMs = 10000;

void WriteFile(const fs::path& path, const std::string& content, bool executable) {
    std::ofstream(path, std::ios::binary) << content;
    if (executable)
        fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
}

// Writes its working folder and its arguments (each ended by a NUL byte) into files beside
// itself; the finished files appear at once, whole.
constexpr const char* kRecorder = "#!/bin/sh\n"
                                  "here=$(dirname \"$0\")\n"
                                  "printf '%s' \"$(pwd)\" > \"$here/cwd.tmp\"\n"
                                  "printf '%s\\0' \"$@\" > \"$here/args.tmp\"\n"
                                  "mv \"$here/cwd.tmp\" \"$here/cwd.txt\"\n"
                                  "mv \"$here/args.tmp\" \"$here/args.txt\"\n";

std::vector<std::string> SplitNul(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, '\0');)
        items.push_back(item);
    return items;
}

class ProcessLauncherTest : public ::testing::Test {
protected:
    ProcessLauncherTest() { fs::create_directories(folder); }
    ~ProcessLauncherTest() override { fs::remove_all(root); }
    // Waits for the recorder's output; its arguments, or nothing after the timeout.
    std::optional<std::vector<std::string>> RecordedArguments() {
        const fs::path args = folder / "args.txt";
        if (!loop.RunUntil([&] { return fs::exists(args); }, kWaitMs))
            return std::nullopt;
        return SplitNul(ReadFile(args));
    }
    std::string Quoted(const fs::path& path) const { return "\"" + path.string() + "\""; }

    QtEventLoop loop;
    QtProcessLauncher launcher;
    const fs::path root = TestPlatform::MakeTempFolder("launcher");
    // A blank in the folder makes the program name need its quotes.
    const fs::path folder = root / "my tools";
};

TEST_F(ProcessLauncherTest, ArgumentsArriveUnchangedAndNoShellSeesThem) {
    const fs::path program = folder / "record.sh";
    WriteFile(program, kRecorder, true);
    const std::string commandLine = Quoted(program) +
                                    R"( plain "two  words" a\"b "x&y;z|w$HOME `id`" 'single' )"
                                    R"(back\slash "" "trail\\" *)";
    ASSERT_TRUE(launcher.StartCommandLine(commandLine));

    const auto arguments = RecordedArguments();
    ASSERT_TRUE(arguments) << "the program did not run";
    const std::vector<std::string> expected = {
        "plain", "two  words", R"(a"b)", "x&y;z|w$HOME `id`", "'single'", R"(back\slash)",
        "",      R"(trail\)",  "*"};
    EXPECT_EQ(*arguments, expected);
    // It ran in its own folder.
    EXPECT_EQ(fs::canonical(ReadFile(folder / "cwd.txt")), fs::canonical(folder));
}

TEST_F(ProcessLauncherTest, AWindowsProgramNameFallsBackToTheFileWithoutExe) {
    WriteFile(folder / "setup", kRecorder, true);
    ASSERT_TRUE(launcher.StartCommandLine(Quoted(folder / "setup.exe") + " /quiet"));
    const auto arguments = RecordedArguments();
    ASSERT_TRUE(arguments);
    EXPECT_EQ(*arguments, (std::vector<std::string>{"/quiet"}));

    // Only the suffix is dropped, in any case, not the letter case of the name; a file that
    // really has the suffix is started as it is; bare names are found on the path.
    WriteFile(folder / "real.exe", kRecorder, true);
    for (const auto& [asked, found] : {std::pair{folder / "SETUP.EXE", fs::path()},
                                       std::pair{folder / "setup.EXE", folder / "setup"},
                                       std::pair{folder / "real.exe", folder / "real.exe"}})
        EXPECT_EQ(QtProcessLauncher::ResolveProgram(asked.string()), found.string()) << asked;
    EXPECT_FALSE(QtProcessLauncher::ResolveProgram("sh").empty());
    EXPECT_EQ(QtProcessLauncher::ResolveProgram("sh.exe"), QtProcessLauncher::ResolveProgram("sh"));
}

TEST_F(ProcessLauncherTest, WhatCannotStartAnswersFalse) {
    // Present but not executable; executable but not a format the system can run.
    WriteFile(folder / "plain.sh", kRecorder, false);
    WriteFile(folder / "garbage", std::string("\x01\x02\x03 not a program"), true);
    for (const std::string& commandLine :
         {std::string(), std::string("   "), Quoted(folder / "missing.exe") + " /quiet",
          std::string("kdau-no-such-program-anywhere --help"), Quoted(folder / "plain.sh"),
          Quoted(folder), Quoted(folder / "garbage")})
        EXPECT_FALSE(launcher.StartCommandLine(commandLine)) << commandLine;
}

TEST_F(ProcessLauncherTest, TheDesktopGetsWebAddressesOnly) {
    const fs::path opener = folder / "opener.sh";
    WriteFile(opener, kRecorder, true);
    QtDesktop desktop(opener.string(), false);
    const std::string url = "http://127.0.0.1:8089/packages/setup%20x.sh?a=1&b=$HOME";
    ASSERT_TRUE(desktop.OpenUrl(url));
    const auto arguments = RecordedArguments();
    ASSERT_TRUE(arguments);
    EXPECT_EQ(*arguments, (std::vector<std::string>{url}));

    for (const char* refused :
         {"file:///etc/passwd", "javascript:alert(1)", "", "not a url", "-rf", "http://"})
        EXPECT_FALSE(desktop.OpenUrl(refused)) << refused;

    QtDesktop nowhere((folder / "no-opener").string(), false);
    EXPECT_FALSE(nowhere.OpenUrl("https://127.0.0.1/x"));
}

} // namespace
} // namespace KDAutoUpdate
