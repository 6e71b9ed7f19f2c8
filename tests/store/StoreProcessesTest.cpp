// Agents in processes of their own that share one program folder: none loses another's
// products, a save killed halfway leaves a whole file and no lock behind, and a folder the
// user may not write to still gets its writable file saved.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "StoreFileUtility.h"
#include "agent/AuAgent.h"
#include "platform/pugixml/PugiXmlService.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

std::string Code(int process, int round) {
    char text[32];
    std::snprintf(text, sizeof text, "{P%d-%05d}", process, round);
    return text;
}

// What a host process has: an XML service and the file operations; no loop, no windows.
struct Host {
    explicit Host(const fs::path& folder, bool stamps = true) : utility(stamps) {
        platform.xml = &xml;
        platform.utility = &utility;
        platform.programFolder = folder.string();
    }
    // One agent's life: it records an update for `code` and ends.
    void Round(const std::string& code) {
        AuAgent agent(platform);
        agent.SetProductCode(code);
        agent.SetProductAttribute("last-update-name", "Update " + code);
    }

    PugiXmlService xml{nullptr, nullptr};
    StoreFileUtility utility;
    Platform platform;
};

template <class Body> pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The product codes of the store as it is on disk; nullopt when it is no whole document.
std::optional<std::multiset<std::string>> StoredCodes(TestPlatform& tp) {
    const std::unique_ptr<IXmlDocument> doc = tp.xml().CreateDocument();
    doc->setAsync(false);
    if (!doc->load(tp.ProgramFile("updateinfo.xml")) || doc->parseErrorCode() != 0 ||
        !doc->documentElement())
        return std::nullopt;
    std::multiset<std::string> codes;
    for (const XmlElementPtr& product : doc->documentElement()->selectNodes("product"))
        codes.insert(product->getAttribute("code").value_or(""));
    return codes;
}

bool LockIsFree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

TEST(StoreProcesses, TwoHostsSavingThreeHundredRoundsEachAtOnceLoseNoProduct) {
    TestPlatform tp;
    constexpr int kRounds = 300;
    pid_t hosts[2];
    for (int p = 0; p < 2; ++p)
        hosts[p] = Spawn([&tp, p] {
            Host host(tp.ProgramFolder());
            for (int round = 0; round < kRounds; ++round)
                host.Round(Code(p, round));
        });
    for (const pid_t pid : hosts)
        EXPECT_EQ(ExitCode(pid), 0);

    const auto codes = StoredCodes(tp);
    ASSERT_TRUE(codes);
    std::multiset<std::string> expected;
    for (int p = 0; p < 2; ++p)
        for (int round = 0; round < kRounds; ++round)
            expected.insert(Code(p, round));
    EXPECT_EQ(codes->size(), 2u * kRounds);
    EXPECT_TRUE(*codes == expected);
}

TEST(StoreProcesses, ASaveKilledWhileItMergesLeavesAWholeFileAndFreesTheLock) {
    TestPlatform tp;
    // Enough products that a save takes a while.
    {
        std::ofstream out(tp.ProgramFile("updateinfo.xml"), std::ios::binary);
        out << "<update-info>";
        for (int i = 0; i < 5000; ++i)
            out << "<product code=\"" << Code(0, i) << "\" last-message-stamp=\"S\" />";
        out << "</update-info>";
    }
    int done[2];
    ASSERT_EQ(::pipe(done), 0);
    // Without stamps every save reads the file again and merges: the kill lands in a merge.
    const pid_t pid = Spawn([&tp, &done] {
        ::close(done[0]);
        Host host(tp.ProgramFolder(), false);
        for (int round = 0;; ++round) {
            host.Round(Code(1, round));
            const char one = 1;
            if (::write(done[1], &one, 1) != 1)
                ::_exit(1);
        }
    });
    ::close(done[1]);
    int finished = 0;
    char byte = 0;
    while (finished < 3 && ::read(done[0], &byte, 1) == 1)
        ++finished;
    // Kill it while it holds the lock, that is inside a load or a save. A host that never
    // seems to hold it takes no lock: given up after many rounds.
    const std::string lock = tp.ProgramFile("updateinfo.xml.lock");
    ::fcntl(done[0], F_SETFL, O_NONBLOCK);
    bool held = false;
    while (!(held = !LockIsFree(lock)) && finished < 300)
        while (::read(done[0], &byte, 1) == 1)
            ++finished;
    ::kill(pid, SIGKILL);
    EXPECT_EQ(ExitCode(pid), -1);
    EXPECT_TRUE(held);
    while (::read(done[0], &byte, 1) == 1)
        ++finished;
    ::close(done[0]);

    EXPECT_TRUE(LockIsFree(lock));
    const auto codes = StoredCodes(tp);
    ASSERT_TRUE(codes);
    // The old file, or the new one with the round under way.
    const int rounds = static_cast<int>(codes->size()) - 5000;
    EXPECT_TRUE(rounds == finished || rounds == finished + 1) << rounds << " " << finished;
    for (int round = 0; round < rounds; ++round)
        EXPECT_EQ(codes->count(Code(1, round)), 1u) << round;

    // The next agent works as usual and clears what the killed save left.
    Host(tp.ProgramFolder()).Round("{NEXT}");
    EXPECT_EQ(StoredCodes(tp)->count("{NEXT}"), 1u);
    for (const auto& entry : fs::directory_iterator(tp.ProgramFolder()))
        EXPECT_EQ(entry.path().filename().string().find("updateinfo.xml.tmp"), std::string::npos);
}

TEST(StoreProcesses, AFolderTheUserCannotWriteHasTheirWritableFileSavedInPlace) {
    TestPlatform tp;
    constexpr uid_t kNobody = 65534;
    const std::string store = tp.ProgramFile("updateinfo.xml");
    tp.WriteProgramFile("updateinfo.xml",
                        "<update-info><product code=\"{B}\" b=\"1\"/></update-info>");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(store.c_str(), kNobody, kNobody), 0);
    }
    fs::permissions(tp.ProgramFolder(), fs::perms(0555));
    const pid_t pid = Spawn([&tp, root] {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        Host(tp.ProgramFolder()).Round("{A}");
    });
    EXPECT_EQ(ExitCode(pid), 0);
    fs::permissions(tp.ProgramFolder(), fs::perms(0755));

    const auto codes = StoredCodes(tp);
    ASSERT_TRUE(codes);
    EXPECT_EQ(*codes, (std::multiset<std::string>{"{A}", "{B}"}));
    EXPECT_NE(tp.ReadProgramFile("updateinfo.xml")->find("last-update-name=\"Update {A}\""),
              std::string::npos);
}

} // namespace
} // namespace KDAutoUpdate

#endif
