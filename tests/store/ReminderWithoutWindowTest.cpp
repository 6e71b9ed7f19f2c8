// A reminder that cannot be loaded is a skipped step: the steps after it still run.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "store/AuProductInfo.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

TEST(ReminderWithoutWindow, StartsTheCommandAndClearsTheRecord) {
    TestPlatform tp; // no form renderer: the reminder cannot be loaded
    RecordingProcessLauncher launcher;
    tp.platform().processes = &launcher;
    AuAgent agent(tp.platform());
    agent.SetProductCode("{P}");
    agent.SetProductAttribute("install-last-update-on-startup", "1");
    agent.SetProductAttribute("last-update-name", "Keldra Studio 5.1");
    agent.SetProductAttribute("last-update-cmd", "/dl/setup.sh /quiet");

    EXPECT_TRUE(agent.CheckInstallableUpdates());
    EXPECT_EQ(launcher.CommandLines(), std::vector<std::string>{"/dl/setup.sh /quiet"});
    EXPECT_EQ(agent.GetLastInstallableUpdate(), nullptr);
}

} // namespace
} // namespace KDAutoUpdate
