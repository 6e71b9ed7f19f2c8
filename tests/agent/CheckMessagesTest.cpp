// The message check: what is requested, what is announced, and what is stored.

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "agent/AuAgent.h"
#include "common/SignedAnswer.h"
#include "platform/console/ScriptedRenderer.h"
#include "store/AuProductInfo.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestPlatform.h"
#ifndef _WIN32 // no libsodium in the Windows build
#include "tests/support/VendorKeys.h"
#endif
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kBase = "http://svc.test/services/autoupdate";
constexpr const char* kCheckUrl = "http://svc.test/services/autoupdate/CheckUpdate.aspx";

class Check : public ::testing::Test {
protected:
    void SetUp() override {
        tp.platform().forms = &renderer;
        tp.utility().SetConnected(true);
        agent.SetBaseURL(kBase);
        agent.SetProductCode("{P1}");
    }
    void Answer(const std::string& xml) {
        tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Ok(xml));
    }
    bool DialogOpen() const { return renderer.Find("dlgCheckMessages") != nullptr; }
    void Store(const std::string& flag, const std::string& stamp) {
        agent.SetProductAttribute("do-not-notify-last-message", flag);
        agent.SetProductAttribute("last-message-stamp", stamp);
    }

    TestPlatform tp;
    ScriptedRenderer renderer{tp.loop()};
    RecordingHost host;
    AuAgent agent{tp.platform(), &host};
};

TEST_F(Check, RequestsTheStartupCheckByDefaultAndTheManualCheckOnRequest) {
    Answer("<r count=\"0\"/>");
    EXPECT_FALSE(agent.CheckMessages().value());
    tp.loop().Advance(100);
    EXPECT_FALSE(agent.CheckMessages(std::nullopt, false, false).value());
    const auto urls = tp.http().RequestedUrls();
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], std::string(kCheckUrl) +
                           "?TestMode=False&ProductCode={P1}&UILang=1031&OpType=checkatstartup"
                           "&CompatMode=2");
    EXPECT_EQ(urls[1],
              std::string(kCheckUrl) +
                  "?TestMode=False&ProductCode={P1}&UILang=1031&OpType=check&CompatMode=2");
    EXPECT_FALSE(tp.http().Requests()[1].async);
    EXPECT_TRUE(tp.http().Requests()[0].async);
}

// Asked synchronously, the answer says so and the dialog opens unless silent; asynchronously the
// host hears of the messages with the root's markup, and its answer decides about the dialog.
TEST_F(Check, MessagesAreAnnouncedAndTheDialogOpensUnlessSilentOrSkipped) {
    Answer("<CheckUpdate count=\"2\" msgs=\"AB\"><m id=\"1\"/></CheckUpdate>");
    EXPECT_TRUE(agent.CheckMessages(true, false).value());
    EXPECT_FALSE(DialogOpen());
    EXPECT_FALSE(agent.IsProcessing());
    EXPECT_TRUE(agent.CheckMessages(false, false).value());
    EXPECT_TRUE(DialogOpen());
    EXPECT_TRUE(host.newMessages.empty());
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdNo"));

    const std::tuple<bool, std::optional<bool>, bool> cases[] = {
        {false, std::nullopt, true}, {false, true, false}, {true, false, true}};
    for (const auto& [silent, skipAnswer, dialog] : cases) {
        SCOPED_TRACE(silent);
        host.skipDialogAnswer = skipAnswer;
        EXPECT_FALSE(agent.CheckMessages(silent).value());
        EXPECT_TRUE(agent.IsProcessing());
        tp.loop().ProcessPendingEvents();
        ASSERT_FALSE(host.newMessages.empty());
        EXPECT_EQ(host.newMessages.back().count, 2);
        EXPECT_EQ(host.newMessages.back().stamp, "AB");
        EXPECT_EQ(XmlText(host.newMessages.back().xml),
                  "<CheckUpdate count=\"2\" msgs=\"AB\"><m id=\"1\" /></CheckUpdate>");
        EXPECT_EQ(host.newMessages.back().skipDialogIn, silent);
        EXPECT_EQ(DialogOpen(), dialog);
        if (dialog) {
            ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdNo"));
        }
    }
}

TEST_F(Check, NothingIsAnnouncedForCountsThatAreNotPositive) {
    for (const char* count : {"count=\"0\"", "count=\"-1\"", "count=\"\"", "count=\"x\"", ""}) {
        Answer(std::string("<r ") + count + " msgs=\"S\"/>");
        EXPECT_FALSE(agent.CheckMessages(false, false).value()) << count;
        EXPECT_FALSE(DialogOpen()) << count;
    }
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "2024-05-17 14:03:59");
}

TEST_F(Check, StoredStampSilencesTheSameMessagesOnlyForAutomaticChecks) {
    Store("1", "AB12");
    Answer("<r count=\"1\" msgs=\"ab12\"/>");
    EXPECT_FALSE(agent.CheckMessages(false, false, true).value());
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "2024-05-17 14:03:59");

    EXPECT_TRUE(agent.CheckMessages(true, false, false).value());
    EXPECT_EQ(agent.GetProductAttribute("do-not-notify-last-message"), "1");
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "AB12");

    Answer("<r count=\"1\" msgs=\"AB13\"/>");
    EXPECT_TRUE(agent.CheckMessages(true, false, true).value());
    EXPECT_EQ(agent.GetProductAttribute("do-not-notify-last-message"), "0");
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "AB13");

    // Without the flag an announcement stores no stamp.
    Answer("<r count=\"1\" msgs=\"NEW\"/>");
    EXPECT_TRUE(agent.CheckMessages(true, false, true).value());
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "AB13");
}

TEST_F(Check, FailedAnswersAreNotEvaluated) {
    for (const auto& response :
         {FakeHttpFetcher::Response::Status(404), FakeHttpFetcher::Response::Ok("<r count='1'"),
          FakeHttpFetcher::Response::TransportError()}) {
        tp.http().SetPrefixResponse(kCheckUrl, response);
        EXPECT_FALSE(agent.CheckMessages(false, false).value());
        EXPECT_TRUE(agent.CheckMessages().ok());
        tp.loop().Advance(50);
    }
    EXPECT_TRUE(host.newMessages.empty());
    EXPECT_FALSE(DialogOpen());
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "");
}

TEST_F(Check, BusyWhileACheckLoadsOrTheDialogIsOpen) {
    tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Never());
    EXPECT_TRUE(agent.CheckMessages().ok());
    const Outcome<bool> second = agent.CheckMessages();
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().number, -2147221504L);
    EXPECT_EQ(second.error().source, "AuAgent.CheckMessages");
    EXPECT_EQ(second.error().description,
              "Another 'AutoUpdate' already in progress. Process aborted.");
    tp.http().CompleteAllPending(FakeHttpFetcher::Response::Ok("<r count=\"1\" msgs=\"x\"/>"));
    tp.loop().ProcessPendingEvents();
    EXPECT_TRUE(DialogOpen());
    EXPECT_FALSE(agent.CheckMessages().ok());
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdNo"));
    EXPECT_TRUE(agent.CheckMessages(true, false).ok());
}

TEST_F(Check, AHostCallingBackFromItsHandlerGetsTheBusyError) {
    Answer("<r count=\"1\" msgs=\"x\"/>");
    std::optional<AutomationError> nested;
    host.onNewMessages = [&](bool& skip) {
        skip = true;
        const Outcome<bool> r = agent.CheckMessages();
        if (!r.ok())
            nested = r.error();
    };
    EXPECT_TRUE(agent.CheckMessages().ok());
    tp.loop().ProcessPendingEvents();
    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->number, -2147221504L);
}

TEST_F(Check, ASilentServerIsAbortedAtTheTenthTickEveryTime) {
    // A quick check before does not shorten the next one's ten ticks.
    tp.http().SetPrefixResponse(kCheckUrl,
                                FakeHttpFetcher::Response::Delayed(3500, "<r count=\"0\"/>"));
    EXPECT_TRUE(agent.CheckMessages().ok());
    tp.loop().Advance(4000);
    const std::string checked = agent.GetProductAttribute("last-checked-date");
    tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Never());
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(agent.CheckMessages().ok());
        tp.loop().Advance(9999);
        EXPECT_TRUE(agent.IsProcessing()) << round;
        EXPECT_EQ(tp.http().AbortCount(), round);
        tp.loop().Advance(1);
        EXPECT_EQ(tp.http().AbortCount(), round + 1);
        tp.loop().ProcessPendingEvents();
        EXPECT_FALSE(agent.IsProcessing()) << round;
    }
    EXPECT_TRUE(host.newMessages.empty());
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), checked);
}

TEST_F(Check, NoConnectionOrProductCodeMeansNoRequest) {
    tp.utility().SetConnected(false);
    tp.utility().SetConnectResult(false);
    agent.SetAutoConnect(false);
    EXPECT_FALSE(agent.CheckMessages(false, false).value());
    EXPECT_EQ(tp.utility().ConnectNetworkCalls(), 0);
    agent.SetAutoConnect(true);
    EXPECT_FALSE(agent.CheckMessages(false, false).value());
    EXPECT_EQ(tp.utility().ConnectNetworkCalls(), 1);
    tp.utility().SetConnectResult(true);
    agent.SetProductCode("");
    EXPECT_FALSE(agent.CheckMessages(false, false).value());
    EXPECT_TRUE(tp.http().RequestedUrls().empty());
}

// One process, one lower-casing: an agent that ends leaves it in place for those still alive,
// whichever of them came first.
TEST(CheckWithSeveralAgents, TheStampStaysSilentAfterAnotherAgentEnded) {
    TestPlatform tp;
    ScriptedRenderer renderer{tp.loop()};
    tp.platform().forms = &renderer;
    tp.utility().SetConnected(true);
    auto first = std::make_unique<AuAgent>(tp.platform());
    auto second = std::make_unique<AuAgent>(tp.platform());
    auto third = std::make_unique<AuAgent>(tp.platform());
    for (std::unique_ptr<AuAgent>* ending : {&first, &third}) {
        ending->reset();
        second->SetBaseURL(kBase);
        second->SetProductCode("{P1}");
        second->SetProductAttribute("do-not-notify-last-message", "1");
        second->SetProductAttribute("last-message-stamp", "äb");
        tp.http().SetPrefixResponse(kCheckUrl,
                                    FakeHttpFetcher::Response::Ok("<r count=\"1\" msgs=\"ÄB\"/>"));
        EXPECT_FALSE(second->CheckMessages(true, false, true).value());
        EXPECT_EQ(renderer.Find("dlgCheckMessages"), nullptr);
    }
}

#ifndef _WIN32
// With the vendor's keys, an answer counts only when they signed it and it has not expired;
// otherwise nothing is announced or stored.
constexpr const char* kSignedAnswer = "<CheckUpdate count=\"2\" msgs=\"S1\"/>";

std::string SignAnswer(const VendorKeys& v, const std::string& expires = {}) {
    return v.SignAnswer(kSignedAnswer, CheckAnswerContent, expires);
}

struct SignedCase {
    const char* what;
    std::string (*answer)(const VendorKeys&);
    bool accepted;
};

const SignedCase kSignedCases[] = {
    {"signed", [](const VendorKeys& v) { return SignAnswer(v); }, true},
    {"unsigned", [](const VendorKeys&) { return std::string(kSignedAnswer); }, false},
    {"count changed",
     [](const VendorKeys& v) {
         std::string s = SignAnswer(v);
         return s.replace(s.find("\"2\""), 3, "\"3\"");
     },
     false},
    {"another key", [](const VendorKeys&) { return SignAnswer(VendorKeys()); }, false},
    {"current", [](const VendorKeys& v) { return SignAnswer(v, "2030-01-01T00:00:00Z"); }, true},
    {"expired", [](const VendorKeys& v) { return SignAnswer(v, "2029-12-31T23:59:59Z"); }, false},
    {"bad date", [](const VendorKeys& v) { return SignAnswer(v, "2030-02-30T00:00:00Z"); }, false},
};

struct SignedCheckAnswer : Check, ::testing::WithParamInterface<SignedCase> {};

TEST_P(SignedCheckAnswer, IsEvaluatedOnlyWhenTheVendorSignedItAndItIsCurrent) {
    const SignedCase& c = GetParam();
    tp.loop().SetNowLocalSeconds(1893456000); // 2030-01-01T00:00:00Z
    VendorKeys vendor;
    vendor.Trust(tp, "{P1}");
    Answer(c.answer(vendor));
    EXPECT_EQ(agent.CheckMessages(true, false).value(), c.accepted) << c.what;
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date").empty(), !c.accepted) << c.what;
}
INSTANTIATE_TEST_SUITE_P(Table, SignedCheckAnswer, ::testing::ValuesIn(kSignedCases));
#endif

} // namespace
} // namespace KDAutoUpdate
