// The stored stamp and the answer's stamp are compared after the platform's lower-casing.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

TEST(StampCase, AStampIsSilentOnlyWhenItDiffersInLetterCaseAlone) {
    struct Case {
        const char* stored;
        const char* answered;
        bool announced;
    };
    // "İ" (dotted capital I) is no capital of the dotless "ı".
    for (const Case& c : {Case{"stamp-ı", "STAMP-İ", true}, Case{"größe-ä", "GRÖßE-Ä", false}}) {
        TestPlatform tp;
        tp.utility().SetConnected(true);
        AuAgent agent(tp.platform());
        agent.SetBaseURL("http://svc.test");
        agent.SetProductCode("{P1}");
        agent.SetProductAttribute("do-not-notify-last-message", "1");
        agent.SetProductAttribute("last-message-stamp", c.stored);
        tp.http().SetPrefixResponse(
            "http://svc.test/CheckUpdate.aspx",
            FakeHttpFetcher::Response::Ok(std::string("<r count=\"1\" msgs=\"") + c.answered +
                                          "\"/>"));
        EXPECT_EQ(agent.CheckMessages(true, false, true).value(), c.announced) << c.answered;
    }
}

} // namespace
} // namespace KDAutoUpdate
