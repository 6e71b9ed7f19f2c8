// The message check: what is requested, what is announced, and what is stored.

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "agent/AuAgent.h"
#include "common/SignedAnswer.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/VendorKeys.h"
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
    const std::string url = kCheckUrl + std::string("?TestMode=False&ProductCode={P1}&UILang=1031");
    EXPECT_EQ(tp.http().RequestedUrls(),
              (std::vector<std::string>{url + "&OpType=checkatstartup&CompatMode=2",
                                        url + "&OpType=check&CompatMode=2"}));
    EXPECT_TRUE(tp.http().Requests()[0].async);
    EXPECT_FALSE(tp.http().Requests()[1].async);
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

TEST_F(Check, FailedAnswersAreNotEvaluatedAndCountsNotPositiveAnnounceNothing) {
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

    for (const char* count : {"count=\"0\"", "count=\"-1\"", "count=\"\"", "count=\"x\"", ""}) {
        Answer(std::string("<r ") + count + " msgs=\"S\"/>");
        EXPECT_FALSE(agent.CheckMessages(false, false).value()) << count;
        EXPECT_FALSE(DialogOpen()) << count;
    }
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "2024-05-17 14:03:59");
}

TEST_F(Check, BusyWhileACheckLoadsOrTheDialogIsOpenEvenForTheHostsHandler) {
    tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Never());
    EXPECT_TRUE(agent.CheckMessages().ok());
    const Outcome<bool> second = agent.CheckMessages();
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().number, -2147221504L);
    EXPECT_EQ(second.error().source, "AuAgent.CheckMessages");
    EXPECT_EQ(second.error().description,
              "Another 'AutoUpdate' already in progress. Process aborted.");
    std::optional<long> nested; // what a check asked from the host's handler fails with
    host.onNewMessages = [&](bool&) {
        const Outcome<bool> r = agent.CheckMessages();
        nested = r.ok() ? 0 : r.error().number;
    };
    tp.http().CompleteAllPending(FakeHttpFetcher::Response::Ok("<r count=\"1\" msgs=\"x\"/>"));
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(nested, -2147221504L);
    EXPECT_TRUE(DialogOpen());
    EXPECT_FALSE(agent.CheckMessages().ok());
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdNo"));
    EXPECT_TRUE(agent.CheckMessages(true, false).ok());
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

TEST_F(Check, NoConnectionOrProductCodeMeansNoRequestAndNoIdleWatch) {
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
    tp.loop().Advance(10000);
    EXPECT_EQ(host.processCompleted, 0);
}

TEST_F(Check, ProcessCompletedComesOnceAtTheFirstIdleTickAfterTheWorkEnds) {
    tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Delayed(2500, "<r/>"));
    ASSERT_TRUE(agent.CheckMessages().ok());
    tp.loop().Advance(2000); // first idle tick: the check is still loading
    EXPECT_EQ(host.processCompleted, 0);
    EXPECT_TRUE(agent.IsProcessing());
    tp.loop().Advance(600);
    EXPECT_FALSE(agent.IsProcessing());
    EXPECT_EQ(host.processCompleted, 0);
    tp.loop().Advance(1400);
    EXPECT_EQ(host.processCompleted, 1);
    tp.loop().Advance(20000);
    EXPECT_EQ(host.processCompleted, 1);

    // A synchronous check that failed is followed as well.
    tp.http().SetPrefixResponse(kCheckUrl, FakeHttpFetcher::Response::Status(500));
    EXPECT_FALSE(agent.CheckMessages(false, false, false).value());
    tp.loop().Advance(1999);
    EXPECT_EQ(host.processCompleted, 1);
    tp.loop().Advance(1);
    EXPECT_EQ(host.processCompleted, 2);
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

// What a check answer's signature covers; how answers are accepted is tested with the island.
constexpr const char* kSignedAnswer = "<CheckUpdate count=\"2\" msgs=\"S1\"/>";

TEST_F(Check, WithVendorKeysOnlyASignedAnswerIsEvaluated) {
    VendorKeys vendor;
    vendor.Trust(tp, "{P1}");
    const std::string answer = vendor.SignAnswer(kSignedAnswer, CheckAnswerContent);
    std::string countChanged = answer;
    countChanged.replace(countChanged.find("\"2\""), 3, "\"3\"");
    for (const auto& [what, xml, accepted] :
         {std::tuple("signed", answer, true),
          std::tuple("unsigned", std::string(kSignedAnswer), false),
          std::tuple("count changed", countChanged, false)}) {
        Answer(xml);
        EXPECT_EQ(agent.CheckMessages(true, false).value(), accepted) << what;
        EXPECT_EQ(agent.GetProductAttribute("last-checked-date").empty(), !accepted) << what;
        agent.SetProductAttribute("last-checked-date", "");
    }
}

} // namespace
} // namespace KDAutoUpdate
