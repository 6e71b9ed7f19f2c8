// The service query the agent sends: parameter order, conditions and raw values.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

class QueryString : public ::testing::Test {
protected:
    void SetUp() override { agent.SetProductCode("1A2B"); }
    TestPlatform tp;
    AuAgent agent{tp.platform()};
};

TEST_F(QueryString, NewAgentWithAProductCode) {
    EXPECT_EQ(agent.BuildQueryString("check"),
              "?TestMode=False&ProductCode={1A2B}&UILang=1031&OpType=check&CompatMode=2");
}

TEST_F(QueryString, VersionLanguageAndTestModeInTheirPlaces) {
    agent.SetMajorVer(5);
    agent.SetMinorVer(0);
    agent.SetRevision(12);
    agent.SetProductLCID(1031);
    agent.SetTestMode(true);
    EXPECT_EQ(agent.BuildQueryString("checkatstartup"),
              "?TestMode=True&ProductCode={1A2B}&Version=5.0.12&Language=1031&UILang=1031"
              "&OpType=checkatstartup&CompatMode=2");
    EXPECT_EQ(agent.BuildQueryString(""),
              "?TestMode=True&ProductCode={1A2B}&Version=5.0.12&Language=1031&UILang=1031"
              "&CompatMode=2");
}

TEST_F(QueryString, VersionIsLeftOutOnlyWhenAllThreeAreZero) {
    EXPECT_EQ(agent.BuildQueryString("").find("Version="), std::string::npos);
    agent.SetRevision(1);
    EXPECT_NE(agent.BuildQueryString("").find("&Version=0.0.1&"), std::string::npos);
    agent.SetRevision(0);
    agent.SetMajorVer(-1);
    EXPECT_NE(agent.BuildQueryString("").find("&Version=-1.0.0&"), std::string::npos);
}

TEST_F(QueryString, LanguagesNeedAPositiveNumber) {
    agent.SetProductLCID(0);
    EXPECT_EQ(agent.BuildQueryString("").find("Language="), std::string::npos);
    agent.SetProductLCID(-1031);
    EXPECT_EQ(agent.BuildQueryString("").find("Language="), std::string::npos);
    agent.SetUILanguageLCID(0);
    EXPECT_EQ(agent.BuildQueryString(""), "?TestMode=False&ProductCode={1A2B}&CompatMode=2");
}

TEST_F(QueryString, TextsGoInUnescapedAndEmptyOnesAreLeftOut) {
    agent.SetCampaignID("a&b");
    agent.SetLicKey("K 1=?#");
    agent.SetCompatMode(-3);
    EXPECT_EQ(agent.BuildQueryString("x y"),
              "?TestMode=False&ProductCode={1A2B}&CmpID=a&b&LicKey=K 1=?#&UILang=1031"
              "&OpType=x y&CompatMode=-3");
    agent.SetProductCode("");
    agent.SetCampaignID("");
    agent.SetLicKey("");
    EXPECT_EQ(agent.BuildQueryString(""), "?TestMode=False&UILang=1031&CompatMode=-3");
}

} // namespace
} // namespace KDAutoUpdate
