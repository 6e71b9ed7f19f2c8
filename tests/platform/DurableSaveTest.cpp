// Saving a document survives a kill at any moment and keeps the file's mode.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

TEST(DurableSave, AKillAtAnyMomentLeavesAParsableFileAndNoLitter) {
    TestPlatform tp;
    const std::string path = tp.ProgramFile("updateinfo.xml");
    const std::string big(20000, 'x');
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto doc = tp.xml().CreateDocument();
            if (!doc->loadXML("<update-info><product code=\"{A}\" pad=\"" + big +
                              "\"/></update-info>"))
                ::_exit(1);
            // Saves until killed: the parent looks only at what the kill leaves on disk.
            for (;;)
                (void)doc->save(path);
        }
        // Busy-wait a random while so the kill lands at different points of a save.
        volatile unsigned long spin = random() % 2000000;
        while (spin > 0)
            spin = spin - 1;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        auto doc = tp.xml().CreateDocument();
        doc->setAsync(false);
        ASSERT_TRUE(!std::filesystem::exists(path) || doc->load(path)) << "round " << round;
        EXPECT_LE(FileNames(tp.ProgramFolder()).size(), 1u) << "round " << round;
    }
}

TEST(DurableSave, TheModeOfTheReplacedFileSurvives) {
    TestPlatform tp;
    const std::string path = tp.ProgramFile("updateinfo.xml");
    ASSERT_TRUE(tp.WriteProgramFile("updateinfo.xml", "<r/>"));
    ::chmod(path.c_str(), 0640);
    auto doc = tp.xml().CreateDocument();
    ASSERT_TRUE(doc->loadXML("<r a=\"1\"/>"));
    // Even where the user's mask would narrow a new file.
    const mode_t mask = ::umask(077);
    EXPECT_TRUE(doc->save(path));
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}
