// Where the store's file lives: unreadable copies kept side by side, and a store that is a link
// to a file elsewhere stays one.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "StoreFileUtility.h"
#include "agent/AuAgent.h"
#include "tests/support/FileText.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

struct StoreFiles : ::testing::Test {
    StoreFiles() { tp.platform().utility = &utility; }

    TestPlatform tp;
    StoreFileUtility utility;
};

TEST_F(StoreFiles, EachUnreadableStoreIsKeptAndOnlyTheOldestBeyondFiveIsDropped) {
    for (int round = 1; round <= 7; ++round) {
        tp.WriteProgramFile("updateinfo.xml", "<broken n='" + std::to_string(round) + "'>");
        AuAgent agent(tp.platform());
    }
    EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml.bad"), "<broken n='7'>");
    for (int age = 1; age <= 4; ++age)
        EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml.bad." + std::to_string(age)),
                  "<broken n='" + std::to_string(7 - age) + "'>");
    EXPECT_FALSE(fs::exists(tp.ProgramFile("updateinfo.xml.bad.5")));
}

#ifndef _WIN32
// The program folder's updateinfo.xml points to data/store.xml beside it.
struct LinkedStore : StoreFiles {
    LinkedStore() {
        fs::create_directory(tp.ProgramFolder() / "data");
        fs::create_symlink("data/store.xml", tp.ProgramFile("updateinfo.xml"));
    }
    bool StillALink() const { return fs::is_symlink(tp.ProgramFile("updateinfo.xml")); }
    std::string Target() const {
        return XmlText(tp.ReadProgramFile("data/store.xml").value_or("<missing>"));
    }
};

TEST_F(LinkedStore, IsWrittenThroughItsLink) {
    tp.WriteProgramFile("data/store.xml", "<update-info/>");
    {
        AuAgent agent(tp.platform());
        agent.SetProductCode("{A}");
        agent.SetProductAttribute("x", "1");
    }
    EXPECT_TRUE(StillALink());
    EXPECT_EQ(Target(), "<?xml version=\"1.0\"?><update-info><product code=\"{A}\" x=\"1\" />"
                        "</update-info>");
    EXPECT_EQ(FileNames(tp.ProgramFolder() / "data"),
              (std::vector<std::string>{"store.xml", "store.xml.lock"}));
}

TEST_F(LinkedStore, UnreadableIsKeptBesideItsTargetAndStartedAgainThere) {
    tp.WriteProgramFile("data/store.xml", "<update-info><product");
    { AuAgent agent(tp.platform()); }
    EXPECT_TRUE(StillALink());
    EXPECT_EQ(Target(), "<?xml version=\"1.0\"?><update-info />");
    EXPECT_EQ(tp.ReadProgramFile("data/store.xml.bad"), "<update-info><product");
}
#endif

} // namespace
} // namespace KDAutoUpdate
