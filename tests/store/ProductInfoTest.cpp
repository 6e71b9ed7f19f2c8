// AuProductInfo: read from the store, changed by the host, written back with Persist; and the
// reminder of a pending update at the host's next start.

#include <gtest/gtest.h>

#include "agent/AuAgent.h"
#include "platform/console/ScriptedRenderer.h"
#include "store/AuProductInfo.h"
#include "tests/support/RecordingProcessLauncher.h"
#include "tests/support/TestPlatform.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

class ProductInfo : public ::testing::Test {
protected:
    void SetUp() override { agent.SetProductCode("{P}"); }
    std::string NodeXml() { return XmlText(agent.GetProductNode()->xml()); }
    TestPlatform tp;
    AuAgent agent{tp.platform()};
};

TEST_F(ProductInfo, PersistingAnEmptyRecordWritesFlagsAndZeroDatesOnly) {
    agent.SetProductAttribute("last-update-name", "old");
    auto info = agent.GetProductInfo();
    info->LastUpdateName = "";
    info->Persist();
    EXPECT_EQ(NodeXml(), "<product code=\"{P}\" do-not-notify-last-message=\"0\" "
                         "install-last-update-on-startup=\"0\" last-checked-date=\"1899-12-30 "
                         "00:00:00\" last-init-date=\"1899-12-30 00:00:00\" />");
}

TEST_F(ProductInfo, FieldsRoundTripThroughTheStore) {
    auto info = agent.GetProductInfo();
    info->LastMessageStamp = "S1";
    info->DoNotNotifyLastMessage = true;
    info->LastCheckedDate = *ParseDate("2024-05-17 14:03:59");
    info->LastInitDate = *ParseDate("2009-09-14 18:35:52");
    info->LastUpdateMessageID = "M1";
    info->InstallLastUpdateOnStartUp = true;
    info->LastUpdateCmd = "/tmp/setup.sh /quiet";
    info->LastUpdateName = "Keldra 5.1";
    info->LastKillProcName = "keldra.exe";
    info->Persist();
    const auto again = agent.GetProductInfo();
    EXPECT_EQ(again->LastMessageStamp, "S1");
    EXPECT_TRUE(again->DoNotNotifyLastMessage);
    EXPECT_EQ(FormatStoreDate(again->LastCheckedDate), "2024-05-17 14:03:59");
    EXPECT_EQ(FormatStoreDate(again->LastInitDate), "2009-09-14 18:35:52");
    EXPECT_EQ(again->LastUpdateMessageID, "M1");
    EXPECT_TRUE(again->InstallLastUpdateOnStartUp);
    EXPECT_EQ(again->LastUpdateCmd, "/tmp/setup.sh /quiet");
    EXPECT_EQ(again->LastUpdateName, "Keldra 5.1");
    EXPECT_EQ(again->LastKillProcName, "keldra.exe");
}

TEST_F(ProductInfo, StoredWordsAndBadDatesAreReadLeniently) {
    agent.SetProductAttribute("do-not-notify-last-message", "yes");
    agent.SetProductAttribute("install-last-update-on-startup", "TRUE");
    agent.SetProductAttribute("last-checked-date", "abc");
    auto info = agent.GetProductInfo();
    EXPECT_TRUE(info->DoNotNotifyLastMessage);
    EXPECT_TRUE(info->InstallLastUpdateOnStartUp);
    EXPECT_EQ(info->LastCheckedDate.value, 0.0);
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("do-not-notify-last-message"), "1");
    EXPECT_EQ(agent.GetProductAttribute("install-last-update-on-startup"), "1");
    EXPECT_EQ(agent.GetProductAttribute("last-checked-date"), "1899-12-30 00:00:00");
}

// Records are snapshots that write whole into the agent's current product.
TEST_F(ProductInfo, ARecordWritesIntoTheAgentsCurrentProduct) {
    auto info = agent.GetProductInfo();
    auto other = agent.GetProductInfo();
    other->LastUpdateName = "A";
    other->Persist();
    EXPECT_EQ(info->LastUpdateName, "");
    info->ProductCode = "{OTHER}";
    info->LastMessageStamp = "one";
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "one");
    EXPECT_EQ(agent.GetProductAttribute("last-update-name"), "");
    agent.SetProductCode("{Q}");
    info->LastMessageStamp = "two";
    info->Persist();
    EXPECT_EQ(agent.GetProductAttribute("last-message-stamp"), "two");
    EXPECT_EQ(agent.GetProductAttribute("code"), "{Q}");
}

TEST(ProductInfoLifetime, PersistAfterTheAgentEndedDoesNothing) {
    TestPlatform tp;
    auto agent = std::make_unique<AuAgent>(tp.platform());
    agent->SetProductCode("{P}");
    auto info = agent->GetProductInfo();
    agent.reset();
    info->LastUpdateName = "late";
    info->Persist();
    EXPECT_EQ(info->Agent(), nullptr);
    EXPECT_EQ(XmlText(tp.ReadProgramFile("updateinfo.xml").value_or("")),
              "<?xml version=\"1.0\"?><update-info><product code=\"{P}\" /></update-info>");
}

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
