// Creating, configuring and releasing an agent, and its busy state.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
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

} // namespace
} // namespace KDAutoUpdate
