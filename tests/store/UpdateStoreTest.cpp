// updateinfo.xml: created, reset, kept and written back; product elements and the write rule.
// Unreadable copies are kept side by side, and a store that is a link to a file elsewhere stays
// one.

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

constexpr const char* kEmptyStore = "<?xml version=\"1.0\"?><update-info />";

std::string StoreText(const TestPlatform& tp) {
    return XmlText(tp.ReadProgramFile("updateinfo.xml").value_or("<missing>"));
}

TEST(UpdateStore, ANewProductIsAppendedWithItsCodeEvenByAReadAndSavedAtTheEnd) {
    TestPlatform tp;
    {
        AuAgent agent(tp.platform());
        agent.SetProductCode("{ABC}");
        EXPECT_EQ(agent.GetProductAttribute("last-update-name"), "");
        agent.SetProductCode("{abc}");
        agent.SetProductAttribute("last-update-name", "N");
        agent.SetProductCode("{ABC}");
        EXPECT_EQ(agent.GetProductAttribute("last-update-name"), "");
        EXPECT_EQ(StoreText(tp), kEmptyStore);
    }
    EXPECT_EQ(StoreText(tp), "<?xml version=\"1.0\"?><update-info><product code=\"{ABC}\" />"
                             "<product code=\"{abc}\" last-update-name=\"N\" /></update-info>");
}

TEST(UpdateStore, TheFirstOfTwoElementsWithTheSameCodeIsUsed) {
    TestPlatform tp;
    tp.WriteProgramFile(
        "updateinfo.xml",
        "<update-info><product code=\"{A}\" n=\"1\"/><product code=\"{A}\" n=\"2\"/>"
        "</update-info>");
    AuAgent agent(tp.platform());
    agent.SetProductCode("{A}");
    EXPECT_EQ(agent.GetProductAttribute("n"), "1");
}

TEST(UpdateStore, AnotherRootIsUsedUnchanged) {
    TestPlatform tp;
    tp.WriteProgramFile("updateinfo.xml", "<other/>");
    {
        AuAgent agent(tp.platform());
        agent.SetProductCode("{A}");
        agent.SetProductAttribute("x", "1");
    }
    EXPECT_NE(StoreText(tp).find("<other><product code=\"{A}\" x=\"1\" /></other>"),
              std::string::npos);
}

TEST(UpdateStore, BlankValuesRemoveAttributesAndBlankNamesDoNothing) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    agent.SetProductCode("{A}");
    agent.SetProductAttribute("flag", "0");
    EXPECT_EQ(agent.GetProductAttribute("flag"), "0");
    agent.SetProductAttribute("text", " padded ");
    EXPECT_EQ(agent.GetProductAttribute("text"), " padded ");
    agent.SetProductAttribute("flag", "   ");
    agent.SetProductAttribute("text", "");
    agent.SetProductAttribute("absent", "");
    agent.SetProductAttribute("  ", "value");
    const XmlElementPtr node = agent.GetProductNode();
    ASSERT_TRUE(node);
    EXPECT_EQ(XmlText(node->xml()), "<product code=\"{A}\" />");
}

TEST(UpdateStore, WithoutProductCodeNothingIsReadOrWritten) {
    TestPlatform tp;
    {
        AuAgent agent(tp.platform());
        agent.SetProductAttribute("x", "1");
        EXPECT_EQ(agent.GetProductAttribute("x"), "");
        EXPECT_EQ(agent.GetProductNode(), nullptr);
    }
    EXPECT_EQ(StoreText(tp), kEmptyStore);
}

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
