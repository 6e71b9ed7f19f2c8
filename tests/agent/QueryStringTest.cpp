// The service query the agent sends: parameter order, conditions and raw values.

#include <gtest/gtest.h>

#include <functional>

#include "agent/AuAgent.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

TEST(QueryString, ParametersInTheirPlacesOnlyWhenTheyHaveAValue) {
    const struct {
        std::function<void(AuAgent&)> set;
        const char* opType;
        const char* query;
    } cases[] = {
        {[](AuAgent&) {}, "check",
         "?TestMode=False&ProductCode={1A2B}&UILang=1031&OpType=check&CompatMode=2"},
        {[](AuAgent& a) {
             a.SetMajorVer(5);
             a.SetRevision(12);
             a.SetProductLCID(1031);
             a.SetTestMode(true);
         },
         "checkatstartup",
         "?TestMode=True&ProductCode={1A2B}&Version=5.0.12&Language=1031&UILang=1031"
         "&OpType=checkatstartup&CompatMode=2"},
        // Version goes out unless all three are zero; languages need a positive number.
        {[](AuAgent& a) { a.SetRevision(1); }, "",
         "?TestMode=False&ProductCode={1A2B}&Version=0.0.1&UILang=1031&CompatMode=2"},
        {[](AuAgent& a) {
             a.SetMajorVer(-1);
             a.SetProductLCID(-1031);
             a.SetUILanguageLCID(0);
         },
         "", "?TestMode=False&ProductCode={1A2B}&Version=-1.0.0&CompatMode=2"},
        {[](AuAgent& a) { a.SetProductLCID(0); }, "",
         "?TestMode=False&ProductCode={1A2B}&UILang=1031&CompatMode=2"},
        // Texts go in unescaped; empty ones are left out.
        {[](AuAgent& a) {
             a.SetCampaignID("a&b");
             a.SetLicKey("K 1=?#");
             a.SetCompatMode(-3);
         },
         "x y",
         "?TestMode=False&ProductCode={1A2B}&CmpID=a&b&LicKey=K 1=?#&UILang=1031&OpType=x y"
         "&CompatMode=-3"},
        {[](AuAgent& a) { a.SetProductCode(""); }, "", "?TestMode=False&UILang=1031&CompatMode=2"},
    };
    for (const auto& c : cases) {
        TestPlatform tp;
        AuAgent agent(tp.platform());
        agent.SetProductCode("1A2B");
        c.set(agent);
        EXPECT_EQ(agent.BuildQueryString(c.opType), c.query);
    }
}

} // namespace
} // namespace KDAutoUpdate
