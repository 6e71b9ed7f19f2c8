// Processes are found by their program's name, with or without ".exe"; ending them by name
// spares the ones that started the caller, and says what it ended.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/qt/QtUtilityLibrary.h"
#include "tests/platform/QtTestHelpers.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

// Run by the test below inside a shell that carries the name to end.
TEST(KillProcName, FromInside) {
    const char* name = std::getenv("KDAU_KILL_NAME");
    if (!name)
        GTEST_SKIP() << "only run by KillProcName.SparesItsAncestorsAndLogsWhatItEnded";
    QtUtilityLibrary utility;
    EXPECT_TRUE(utility.KillProcess(std::string(name) + ".exe"));
    EXPECT_FALSE(utility.IsProcessRunning(name));
}

TEST(KillProcName, SparesItsAncestorsAndLogsWhatItEnded) {
    const std::filesystem::path dir = TestPlatform::MakeTempFolder("kill");
    // Longer than the 15 characters the kernel keeps as the process's short name.
    const std::string name = "kdau-ancestor-" + std::to_string(::getpid() % 100000);
    const QString shell = QString::fromStdString((dir / "a" / name).string());
    const QString sleeper = QString::fromStdString((dir / "b" / name).string());
    QDir().mkpath(QString::fromStdString((dir / "a").string()));
    QDir().mkpath(QString::fromStdString((dir / "b").string()));
    ASSERT_TRUE(QFile::copy("/bin/sh", shell) && QFile::copy("/bin/sleep", sleeper));

    QtUtilityLibrary utility;
    EXPECT_FALSE(utility.IsProcessRunning(name));
    EXPECT_FALSE(utility.KillProcess(name));
    QProcess sibling;
    sibling.start(sleeper, {"30"});
    ASSERT_TRUE(sibling.waitForStarted(10000));
    const qint64 siblingPid = sibling.processId();
    for (const auto& [asked, found] :
         {std::pair{name, true}, std::pair{name + ".EXE", true}, std::pair{name + ".exe", true},
          std::pair{"KDAU-" + name.substr(5), false}, std::pair{name.substr(0, 10), false}})
        EXPECT_EQ(utility.IsProcessRunning(asked), found) << asked;

    QProcess ancestor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KDAU_KILL_NAME", QString::fromStdString(name));
    env.insert("KDAUTOUPDATE_DEBUG_LOG", QString::fromStdString((dir / "log").string()));
    ancestor.setProcessEnvironment(env);
    ancestor.start(shell, {"-c", "\"$0\" --gtest_filter=KillProcName.FromInside >/dev/null",
                           QFile::symLinkTarget("/proc/self/exe")});
    ASSERT_TRUE(ancestor.waitForStarted(10000));
    const qint64 ancestorPid = ancestor.processId();
    ASSERT_TRUE(ancestor.waitForFinished(30000));
    EXPECT_EQ(ancestor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ancestor.exitCode(), 0);
    ASSERT_TRUE(sibling.waitForFinished(10000));
    EXPECT_EQ(sibling.exitStatus(), QProcess::CrashExit);
    const std::string log = ReadFile(dir / "log");
    EXPECT_NE(log.find("KillProcess " + name + ".exe: ending " + std::to_string(siblingPid)),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find(std::to_string(ancestorPid) + " ("), std::string::npos) << log;
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace KDAutoUpdate
