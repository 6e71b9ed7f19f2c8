// updateinfo.xml: created, reset, kept and written back; product elements and the write rule.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
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

} // namespace
} // namespace KDAutoUpdate
