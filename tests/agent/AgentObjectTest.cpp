// Creating, configuring and releasing an agent; the busy state and the idle watch.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

TEST(AgentObject, WritersStripOneTrailingSlashAndAddMissingBraces) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    const std::pair<const char*, const char*> urls[] = {
        {"http://h/x/", "http://h/x"},
        {"http://h/x//", "http://h/x/"},
        {"/", ""},
        {"", ""},
        {" a/ ", " a/ "},
    };
    for (const auto& [in, out] : urls) {
        agent.SetBaseURL(in);
        EXPECT_EQ(agent.BaseURL(), out) << in;
    }
    agent.SetProductCode("1234}");
    EXPECT_EQ(agent.ProductCode(), "{1234}");
}

TEST(AgentObject, OpensTheResourceLibraryBesideTheProgramAndClosesItAtTheEnd) {
    TestPlatform tp;
    {
        AuAgent agent(tp.platform());
        EXPECT_EQ(tp.resources().OpenedPaths(),
                  std::vector<std::string>{tp.ProgramFile("_AuResLib.rcc")});
        EXPECT_EQ(tp.resources().CloseCount(), 0);
    }
    EXPECT_EQ(tp.resources().CloseCount(), 1);

    // A missing library does not stop the creation.
    tp.resources().SetOpenSucceeds(false);
    AuAgent agent(tp.platform());
    agent.SetProductCode("X");
    EXPECT_EQ(agent.ProductCode(), "{X}");
}

TEST(AgentObject, IsConnectedAsksEveryTimeAndPassesAFailureOn) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    tp.utility().SetConnected(true);
    ASSERT_TRUE(agent.IsConnected().ok());
    EXPECT_TRUE(agent.IsConnected().value());
    tp.utility().SetConnected(false);
    EXPECT_FALSE(agent.IsConnected().value());
    tp.utility().SetConnected(std::nullopt);
    const Outcome<bool> failed = agent.IsConnected();
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().source, "AuAgent.IsConnected");
    EXPECT_GE(tp.utility().ConnectedStateCalls(), 4);
}

TEST(AgentObject, BusyWhileAFormOfTheThreadIsLoaded) {
    TestPlatform tp;
    AuAgent agent(tp.platform());
    for (const auto& [form, busy] :
         {std::pair{"frmMessages", true}, std::pair{"dlgCheckMessages", true},
          std::pair{"dlgDownload", false}}) {
        tp.loadedForms().Add(form);
        EXPECT_EQ(agent.IsProcessing(), busy) << form;
        tp.loadedForms().Remove(form);
    }
}

class IdleWatch : public ::testing::Test {
protected:
    void SetUp() override {
        agent.SetProductCode("{1A2B}");
        tp.utility().SetConnected(true);
    }
    TestPlatform tp;
    RecordingHost host;
    AuAgent agent{tp.platform(), &host};
    const std::string checkUrl = "http://127.0.0.1:8080/services/autoupdate/CheckUpdate.aspx";
};

TEST_F(IdleWatch, RaisesProcessCompletedOnceAtTheFirstTickAfterTheWorkEnds) {
    tp.http().SetPrefixResponse(checkUrl, FakeHttpFetcher::Response::Delayed(2500, "<r/>"));
    ASSERT_TRUE(agent.CheckMessages().ok());
    tp.loop().Advance(2000); // first idle tick: the check is still loading
    EXPECT_EQ(host.processCompleted, 0);
    EXPECT_TRUE(agent.IsProcessing());
    tp.loop().Advance(600); // the answer arrives
    EXPECT_FALSE(agent.IsProcessing());
    EXPECT_EQ(host.processCompleted, 0);
    tp.loop().Advance(1400); // second idle tick
    EXPECT_EQ(host.processCompleted, 1);
    tp.loop().Advance(20000);
    EXPECT_EQ(host.processCompleted, 1);
}

TEST_F(IdleWatch, FollowsASynchronousCheckThatFailed) {
    tp.http().SetPrefixResponse(checkUrl, FakeHttpFetcher::Response::Status(500));
    const Outcome<bool> r = agent.CheckMessages(false, false, false);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.value());
    tp.loop().Advance(1999);
    EXPECT_EQ(host.processCompleted, 0);
    tp.loop().Advance(1);
    EXPECT_EQ(host.processCompleted, 1);
}

TEST_F(IdleWatch, IsNotStartedWhenTheCheckDoesNothing) {
    tp.utility().SetConnected(false);
    tp.utility().SetConnectResult(false);
    EXPECT_FALSE(agent.CheckMessages().value());
    tp.loop().Advance(10000);
    EXPECT_EQ(host.processCompleted, 0);
    EXPECT_TRUE(tp.http().RequestedUrls().empty());
}

} // namespace
} // namespace KDAutoUpdate
