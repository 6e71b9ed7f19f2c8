// With the vendor's keys, a check answer counts only when they signed it and it has not
// expired; otherwise it is treated as unreadable: nothing announced, nothing stored.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "agent/SignedAnswer.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/VendorKeys.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kAnswer = "<CheckUpdate count=\"2\" msgs=\"S1\"/>";
constexpr long long k2030 = 1893456000; // 2030-01-01T00:00:00Z

struct Case {
    const char* what;
    std::string (*answer)(const VendorKeys&);
    bool accepted;
};

std::string Signed(const VendorKeys& v, const std::string& expires = {}) {
    return v.SignAnswer(kAnswer, CheckAnswerContent, expires);
}

const Case kCases[] = {
    {"signed", [](const VendorKeys& v) { return Signed(v); }, true},
    {"unsigned", [](const VendorKeys&) { return std::string(kAnswer); }, false},
    {"count changed",
     [](const VendorKeys& v) {
         std::string s = Signed(v);
         return s.replace(s.find("\"2\""), 3, "\"3\"");
     },
     false},
    {"another key", [](const VendorKeys&) { return Signed(VendorKeys()); }, false},
    {"current", [](const VendorKeys& v) { return Signed(v, "2030-01-01T00:00:00Z"); }, true},
    {"expired", [](const VendorKeys& v) { return Signed(v, "2029-12-31T23:59:59Z"); }, false},
    {"bad date", [](const VendorKeys& v) { return Signed(v, "2030-02-30T00:00:00Z"); }, false},
};

struct SignedCheckAnswer : ::testing::TestWithParam<Case> {};

TEST_P(SignedCheckAnswer, IsEvaluatedOnlyWhenTheVendorSignedItAndItIsCurrent) {
    const Case& c = GetParam();
    TestPlatform tp;
    ScriptedRenderer renderer{tp.loop()};
    tp.platform().forms = &renderer;
    tp.utility().SetConnected(true);
    tp.loop().SetNowLocalSeconds(k2030);
    AuAgent agent(tp.platform());
    agent.SetBaseURL("http://svc.test");
    agent.SetProductCode("{P1}");
    VendorKeys vendor;
    vendor.Trust(tp, "{P1}");
    tp.http().SetPrefixResponse("http://svc.test/CheckUpdate.aspx",
                                FakeHttpFetcher::Response::Ok(c.answer(vendor)));
    EXPECT_EQ(agent.CheckMessages(true, false).value(), c.accepted) << c.what;
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date").empty(), !c.accepted) << c.what;
}
INSTANTIATE_TEST_SUITE_P(Table, SignedCheckAnswer, ::testing::ValuesIn(kCases));

} // namespace
} // namespace KDAutoUpdate
