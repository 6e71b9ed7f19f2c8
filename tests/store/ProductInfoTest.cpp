// AuProductInfo: read from the store, changed by the host, written back with Persist.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "store/AuProductInfo.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

class ProductInfo : public ::testing::Test {
protected:
    void SetUp() override { agent.SetProductCode("{P}"); }
    std::string NodeXml() { return XmlText(agent.GetProductNode()->xml()); }
    TestPlatform tp;
    AuAgent agent{tp.platform()};
};

TEST_F(ProductInfo, PersistingAnEmptyRecordWritesFlagsAndZeroDatesOnly) {
    agent.SetProductAttribute("last-update-name", "old");
    auto info = agent.GetProductInfo();
    info->LastUpdateName = "";
    info->Persist();
    EXPECT_EQ(NodeXml(), "<product code=\"{P}\" do-not-notify-last-message=\"0\" "
                         "install-last-update-on-startup=\"0\" last-checked-date=\"1899-12-30 "
                         "00:00:00\" last-init-date=\"1899-12-30 00:00:00\" />");
}

TEST_F(ProductInfo, FieldsRoundTripThroughTheStore) {
    auto info = agent.GetProductInfo();
    info->LastMessageStamp = "S1";
    info->DoNotNotifyLastMessage = true;
    info->LastCheckedDate = *ParseDate("2024-05-17 14:03:59");
    info->LastInitDate = *ParseDate("2009-09-14 18:35:52");
    info->LastUpdateMessageID = "M1";
    info->InstallLastUpdateOnStartUp = true;
    info->LastUpdateCmd = "/tmp/setup.sh /quiet";
    info->LastUpdateName = "Keldra 5.1";
    info->LastKillProcName = "keldra.exe";
    info->Persist();
    const auto again = agent.GetProductInfo();
    EXPECT_EQ(again->LastMessageStamp, "S1");
    EXPECT_TRUE(again->DoNotNotifyLastMessage);
    EXPECT_EQ(FormatStoreDate(again->LastCheckedDate), "2024-05-17 14:03:59");
    EXPECT_EQ(FormatStoreDate(again->LastInitDate), "2009-09-14 18:35:52");
    EXPECT_EQ(again->LastUpdateMessageID, "M1");
    EXPECT_TRUE(again->InstallLastUpdateOnStartUp);
    EXPECT_EQ(again->LastUpdateCmd, "/tmp/setup.sh /quiet");
    EXPECT_EQ(again->LastUpdateName, "Keldra 5.1");
    EXPECT_EQ(again->LastKillProcName, "keldra.exe");
}

TEST_F(ProductInfo, StoredWordsAndBadDatesAreReadLeniently) {
    agent.SetProductAttribute("do-not-notify-last-message", "yes");
    agent.SetProductAttribute("install-last-update-on-startup", "TRUE");
    agent.SetProductAttribute("last-checked-date", "abc");
    auto info = agent.GetProductInfo();
    EXPECT_TRUE(info->DoNotNotifyLastMessage);
    EXPECT_TRUE(info->InstallLastUpdateOnStartUp);
    EXPECT_EQ(info->LastCheckedDate.value, 0.0);
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("do-not-notify-last-message"), "1");
    EXPECT_EQ(agent.GetProductAttribute("install-last-update-on-startup"), "1");
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "1899-12-30 00:00:00");
}

// Records are snapshots that write whole into the agent's current product.
TEST_F(ProductInfo, ARecordWritesIntoTheAgentsCurrentProduct) {
    auto info = agent.GetProductInfo();
    auto other = agent.GetProductInfo();
    other->LastUpdateName = "A";
    other->Persist();
    EXPECT_EQ(info->LastUpdateName, "");
    info->ProductCode = "{OTHER}";
    info->LastMessageStamp = "one";
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "one");
    EXPECT_EQ(agent.GetProductAttribute("last-update-name"), "");
    agent.SetProductCode("{Q}");
    info->LastMessageStamp = "two";
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "two");
    EXPECT_EQ(agent.GetProductAttribute("code"), "{Q}");
}

TEST(ProductInfoLifetime, PersistAfterTheAgentEndedDoesNothing) {
    TestPlatform tp;
    auto agent = std::make_unique<AuAgent>(tp.platform());
    agent->SetProductCode("{P}");
    auto info = agent->GetProductInfo();
    agent.reset();
    info->LastUpdateName = "late";
    info->Persist();
    EXPECT_EQ(info->Agent(), nullptr);
    EXPECT_EQ(XmlText(tp.ReadProgramFile("updateinfo.xml").value_or("")),
              "<?xml version=\"1.0\"?><update-info><product code=\"{P}\" /></update-info>");
}

} // namespace
} // namespace KDAutoUpdate
