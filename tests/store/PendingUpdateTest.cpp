// The reminder of a pending update at the host's next start.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "platform/console/ScriptedRenderer.h"
#include "store/AuProductInfo.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

class PendingUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        tp.platform().forms = &renderer;
        tp.platform().processes = &launcher;
        agent.SetProductCode("{P}");
        Record("1", "Keldra Studio 5.1", "/dl/setup.sh /quiet");
    }
    void Record(const std::string& flag, const std::string& name, const std::string& cmd) {
        agent.SetProductAttribute("install-last-update-on-startup", flag);
        agent.SetProductAttribute("last-update-name", name);
        agent.SetProductAttribute("last-update-cmd", cmd);
        agent.SetProductAttribute("last-update-message-id", "M1");
        agent.SetProductAttribute("last-kill-proc-name", "keldra");
    }
    // Queues the user's answer for the reminder: tick the box or not, then press a control
    // (or "close" for the close box).
    void Answer(bool tick, const std::string& action) {
        renderer.QueueModalAction("dlgInstallLastUpdate", [this, tick, action](ScriptedView& v) {
            shownText = v.Text("lblMessage", -1);
            shownCaption = v.Caption();
            const PicturePtr icon = v.Picture("imgIcon"), small = v.WindowIcon();
            shownIcons = icon && small ? icon->name + "/" + std::to_string(icon->size) + " " +
                                             small->name + "/" + std::to_string(small->size)
                                       : "";
            if (tick)
                renderer.SetChecked("dlgInstallLastUpdate", "chkDontShowAgain", true);
            if (action == "close") {
                renderer.Close("dlgInstallLastUpdate");
                // The close box is refused: the dialog is only hidden.
                loadedAfterClose = renderer.Find("dlgInstallLastUpdate") != nullptr;
            } else if (action == "escape") {
                renderer.PressEscape("dlgInstallLastUpdate");
            } else {
                renderer.Click("dlgInstallLastUpdate", action);
            }
        });
    }
    bool Cleared() {
        return XmlText(agent.GetProductNode()->xml()) ==
               "<product code=\"{P}\" install-last-update-on-startup=\"0\" />";
    }

    TestPlatform tp;
    ScriptedRenderer renderer{tp.loop()};
    RecordingProcessLauncher launcher;
    AuAgent agent{tp.platform()};
    std::string shownText;
    std::string shownCaption;
    std::string shownIcons;
    bool loadedAfterClose = false;
};

TEST_F(PendingUpdate, TheUsersAnswerDecidesWhatStartsAndWhatIsKept) {
    const struct {
        bool tick;
        const char* action;
        bool started;
        bool cleared;
    } cases[] = {
        {false, "cmdYes", true, true},  {true, "cmdYes", true, true},
        {false, "cmdNo", false, false}, {false, "escape", false, false},
        {false, "close", false, false}, {true, "cmdNo", false, true}, // forgets the update
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.action) + (c.tick ? " ticked" : ""));
        Record("1", "Keldra Studio 5.1", "/dl/setup.sh /quiet");
        const std::size_t before = launcher.CommandLines().size();
        Answer(c.tick, c.action);
        EXPECT_EQ(agent.CheckInstallableUpdates(), c.started);
        EXPECT_EQ(launcher.CommandLines().size() - before, c.started ? 1u : 0u);
        EXPECT_EQ(Cleared(), c.cleared);
        EXPECT_EQ(agent.GetLastInstallableUpdate() == nullptr, c.cleared);
        EXPECT_EQ(renderer.Find("dlgInstallLastUpdate"), nullptr);
    }
    EXPECT_TRUE(loadedAfterClose);
    EXPECT_EQ(launcher.CommandLines().front(), "/dl/setup.sh /quiet");
    EXPECT_EQ(shownCaption, "Update installieren");
    EXPECT_EQ(shownIcons, "IC_QUESTION/32 AAA/16"); // a question, in the product's window
    EXPECT_EQ(shownText, "Ein Update, das Sie zuvor downgeloadet haben, wurde noch nicht "
                         "installiert: 'Keldra Studio 5.1'\r\n\r\nSoll das Update jetzt "
                         "installiert werden?");
}

TEST_F(PendingUpdate, SilentShowsAndChangesNothing) {
    EXPECT_FALSE(agent.CheckInstallableUpdates(true));
    EXPECT_FALSE(renderer.HasQueuedActions("dlgInstallLastUpdate"));
    const auto info = agent.GetLastInstallableUpdate();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->LastUpdateCmd, "/dl/setup.sh /quiet");
    EXPECT_EQ(info->LastKillProcName, "keldra");
}

TEST_F(PendingUpdate, NothingIsPendingWithoutFlagNameCommandOrProductCode) {
    for (const auto& [flag, name, cmd] :
         {std::tuple<const char*, const char*, const char*>{"1", "", "cmd"},
          {"1", "name", ""},
          {"0", "name", "cmd"},
          {"no", "name", "cmd"}}) {
        Record(flag, name, cmd);
        Answer(false, "cmdYes");
        EXPECT_FALSE(agent.CheckInstallableUpdates()) << flag << name << cmd;
        EXPECT_EQ(agent.GetLastInstallableUpdate(), nullptr);
        EXPECT_TRUE(renderer.HasQueuedActions("dlgInstallLastUpdate")) << "no dialog was shown";
        renderer.ClearQueuedActions();
    }
    Record("1", "name", "cmd");
    agent.SetProductCode("");
    EXPECT_FALSE(agent.CheckInstallableUpdates());
    EXPECT_EQ(agent.GetLastInstallableUpdate(), nullptr);
    EXPECT_TRUE(launcher.CommandLines().empty());
}

// A command that cannot start still counts as handed over; a reminder that cannot be loaded is a
// skipped step, and the command starts without it.
TEST_F(PendingUpdate, TheCommandIsHandedOverEvenWhenItOrTheDialogFails) {
    launcher.SetResult(false);
    Answer(false, "cmdYes");
    EXPECT_TRUE(agent.CheckInstallableUpdates());
    EXPECT_TRUE(Cleared());

    Record("1", "Keldra Studio 5.1", "/dl/setup.sh /quiet");
    tp.platform().forms = nullptr;
    EXPECT_TRUE(agent.CheckInstallableUpdates());
    EXPECT_EQ(launcher.CommandLines().size(), 2u);
    EXPECT_TRUE(Cleared());
}

} // namespace
} // namespace KDAutoUpdate
