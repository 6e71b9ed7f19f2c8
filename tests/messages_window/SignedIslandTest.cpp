// With the vendor's keys, the page's data island counts only when they signed it and it has
// not expired; otherwise no message of it is read. Expiry is judged here for every answer.

#include "common/SignedAnswer.h"
#include "tests/messages_window/MessagesWindowFixture.h"
#include "tests/support/VendorKeys.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kIsland =
    "<Messages><Message id=\"m1\" type=\"exe\" cmdLine=\"/quiet\" toVersion=\"5.1\">"
    "<Features><Feature name=\"Core\"/></Features></Message></Messages>";
constexpr long long k2030 = 1893456000; // 2030-01-01T00:00:00Z

struct Case {
    const char* what;
    bool keys;
    std::string (*page)(const VendorKeys&);
    bool read;
};

std::string Signed(const VendorKeys& v, const std::string& expires = {}) {
    return v.SignAnswer(kIsland, IslandContentToSign, expires);
}
std::string Replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

const Case kCases[] = {
    {"no keys, unsigned", false, [](const VendorKeys&) { return std::string(kIsland); }, true},
    {"signed", true, [](const VendorKeys& v) { return Signed(v); }, true},
    {"unsigned", true, [](const VendorKeys&) { return std::string(kIsland); }, false},
    {"command changed", true,
     [](const VendorKeys& v) { return Replace(Signed(v), "/quiet", "/evil"); }, false},
    {"feature changed", true, [](const VendorKeys& v) { return Replace(Signed(v), "Core", "Cor"); },
     false},
    {"way back marked after signing", true,
     [](const VendorKeys& v) {
         return Replace(Signed(v), "toVersion=", "allowDowngrade=\"true\" toVersion=");
     },
     false},
    {"another key", true, [](const VendorKeys&) { return Signed(VendorKeys()); }, false},
    {"not yet expired", true, [](const VendorKeys& v) { return Signed(v, "2030-01-01T00:00:00Z"); },
     true},
    {"expired", true, [](const VendorKeys& v) { return Signed(v, "2029-12-31T23:59:59Z"); }, false},
    {"expiry unreadable", true, [](const VendorKeys& v) { return Signed(v, "2030-01-01"); }, false},
    {"no such day", true, [](const VendorKeys& v) { return Signed(v, "2030-02-30T00:00:00Z"); },
     false},
};

struct SignedIsland : MessagesWindowTest, ::testing::WithParamInterface<Case> {};

TEST_P(SignedIsland, IsReadOnlyWhenTheVendorSignedItAndItIsCurrent) {
    const Case& c = GetParam();
    VendorKeys vendor;
    if (c.keys)
        vendor.Trust(tp, kProductCode);
    tp.loop().SetNowLocalSeconds(k2030);
    ShowPage(c.page(vendor));
    EXPECT_EQ(Window()->Messages().Count(), c.read ? 1u : 0u) << c.what;
    EXPECT_EQ(Window()->LastError().has_value(), !c.read) << c.what;
}
INSTANTIATE_TEST_SUITE_P(Table, SignedIsland, ::testing::ValuesIn(kCases));

} // namespace
} // namespace KDAutoUpdate
