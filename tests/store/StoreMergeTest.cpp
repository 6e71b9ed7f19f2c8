// Agents that live at the same time, in one process: each one's save keeps what the others
// saved for their own products, and whatever else the file holds at that moment.

#include <gtest/gtest.h>

#include <memory>

#include "StoreFileUtility.h"
#include "agent/AuAgent.h"
#include "store/AuProductInfo.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

// A whole store file with its declaration.
std::string Doc(const std::string& root) {
    return "<?xml version=\"1.0\"?>" + root;
}

// With file stamps (the store rereads the file only when someone else wrote it) and without
// (it rereads it at every save).
struct StoreMerge : ::testing::TestWithParam<bool> {
    StoreMerge() : utility(GetParam()) { tp.platform().utility = &utility; }

    std::unique_ptr<AuAgent> Agent(const std::string& code) {
        auto agent = std::make_unique<AuAgent>(tp.platform());
        agent->SetProductCode(code);
        return agent;
    }
    std::string Store() const {
        return XmlText(tp.ReadProgramFile("updateinfo.xml").value_or("<missing>"));
    }

    TestPlatform tp;
    StoreFileUtility utility;
};

TEST_P(StoreMerge, APendingUpdateSurvivesTheSaveOfAnotherProductsAgent) {
    auto a = Agent("{A}");
    auto b = Agent("{B}");
    a->SetProductAttribute("install-last-update-on-startup", "1");
    a->SetProductAttribute("last-update-name", "Update A");
    a->SetProductAttribute("last-update-cmd", "setup-a");
    a.reset();
    b->SetProductAttribute("last-message-stamp", "SB");
    b.reset();

    EXPECT_EQ(Store(), Doc("<update-info><product code=\"{A}\" install-last-update-on-startup="
                           "\"1\" last-update-name=\"Update A\" last-update-cmd=\"setup-a\" />"
                           "<product code=\"{B}\" last-message-stamp=\"SB\" /></update-info>"));
    const std::unique_ptr<AuProductInfo> pending = Agent("{A}")->GetLastInstallableUpdate();
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->LastUpdateCmd, "setup-a");
}

TEST_P(StoreMerge, OfTwoAgentsOfOneProductTheLastToEndWinsWithItsWholeElement) {
    tp.WriteProgramFile(
        "updateinfo.xml",
        Doc("<update-info><product code=\"{A}\" x=\"old\" y=\"gone\" /></update-info>"));
    auto first = Agent("{A}");
    auto second = Agent("{A}");
    first->SetProductAttribute("x", "first");
    first->SetProductAttribute("y", "");
    second->SetProductAttribute("z", "second");
    second.reset();
    first.reset();
    EXPECT_EQ(Store(), Doc("<update-info><product code=\"{A}\" x=\"first\" /></update-info>"));
}

TEST_P(StoreMerge, ProductsAnAgentDidNotUseAreTakenFromTheFileNotFromItsOldCopy) {
    tp.WriteProgramFile("updateinfo.xml",
                        Doc("<update-info><product code=\"{B}\" n=\"1\" /></update-info>"));
    auto idle = Agent("{A}"); // holds {B} n=1 from its start
    auto writer = Agent("{B}");
    writer->SetProductAttribute("n", "2");
    writer.reset();
    idle->SetProductAttribute("m", "1");
    idle.reset();
    EXPECT_EQ(Store(), Doc("<update-info><product code=\"{B}\" n=\"2\" />"
                           "<product code=\"{A}\" m=\"1\" /></update-info>"));
}

TEST_P(StoreMerge, WhatTheFileGainedMeanwhileIsKeptAsTheFileHasIt) {
    auto agent = Agent("{A}");
    agent->SetProductAttribute("x", "1");
    tp.WriteProgramFile("updateinfo.xml", Doc("<!-- kept --><update-info vendor=\"k\">"
                                              "<extra a=\"1\">text</extra><product code=\"{C}\" "
                                              "c=\"3\"><note/></product></update-info>"));
    agent.reset();
    EXPECT_EQ(Store(), Doc("<!-- kept --><update-info vendor=\"k\"><extra a=\"1\">text</extra>"
                           "<product code=\"{C}\" c=\"3\"><note /></product>"
                           "<product code=\"{A}\" x=\"1\" /></update-info>"));
}

TEST_P(StoreMerge, AFileGoneOrSpoiledMeanwhileGetsTheAgentsWholeStore) {
    auto agent = Agent("{A}");
    agent->SetProductAttribute("x", "1");
    std::filesystem::remove(tp.ProgramFile("updateinfo.xml"));
    agent.reset();
    const std::string whole = Doc("<update-info><product code=\"{A}\" x=\"1\" /></update-info>");
    EXPECT_EQ(Store(), whole);

    agent = Agent("{A}");
    tp.WriteProgramFile("updateinfo.xml", "<update-info><product");
    agent.reset();
    EXPECT_EQ(Store(), whole);
    EXPECT_EQ(tp.ReadProgramFile("updateinfo.xml.bad"), "<update-info><product");
}

INSTANTIATE_TEST_SUITE_P(Stamps, StoreMerge, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Stamped" : "Unstamped";
                         });

} // namespace
} // namespace KDAutoUpdate
