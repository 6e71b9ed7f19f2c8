// The notification dialog's Yes opens the messages window without the date of DisplayMessages;
// every way of closing the dialog records the wish about further notices.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class NotificationDialogTest : public MessagesWindowTest {
protected:
    void AnnounceOneMessage() {
        tp.http().SetPrefixResponse(std::string(kBaseURL) + "/CheckUpdate.aspx",
                                    FakeHttpFetcher::Response::Ok("<r count=\"1\" msgs=\"S1\"/>"));
        const std::size_t before = host.newMessages.size();
        ASSERT_TRUE(agent->CheckMessages().ok());
        tp.loop().ProcessPendingEvents();
        ASSERT_EQ(host.newMessages.size(), before + 1);
        ASSERT_NE(renderer.Find("dlgCheckMessages"), nullptr);
    }
    std::string Flag() { return Attribute("do-not-notify-last-message"); }
};

TEST_F(NotificationDialogTest, YesOpensTheMessagesWindowWithoutTheDateOfDisplayMessages) {
    AnnounceOneMessage();
    // The product's own icon, large beside the text and small in the title bar.
    const ScriptedView* shown = renderer.Find("dlgCheckMessages");
    ASSERT_TRUE(shown->Picture("imgIcon") && shown->WindowIcon());
    EXPECT_EQ(std::pair(shown->Picture("imgIcon")->name, shown->Picture("imgIcon")->size),
              std::pair(std::string("AAA"), 32));
    EXPECT_EQ(shown->WindowIcon()->name, "AAA");
    const std::string dateBefore = Attribute("last-init-date");
    tp.loop().Advance(3000);
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdYes"));
    EXPECT_EQ(renderer.Find("dlgCheckMessages"), nullptr);
    EXPECT_EQ(Flag(), "0");
    ASSERT_TRUE(WindowLoaded());
    EXPECT_TRUE(View()->IsVisible());
    EXPECT_EQ(Attribute("last-init-date"), dateBefore);
    CompleteProgress();
    EXPECT_EQ(Browser()->Navigations().back().id, PageId());
    tp.loop().Advance(10000);
    EXPECT_EQ(host.processCompleted, 0) << "busy while the window is open";
}

TEST_F(NotificationDialogTest, EveryCloseOfTheDialogRecordsTheCheckBox) {
    AnnounceOneMessage();
    ASSERT_TRUE(renderer.SetChecked("dlgCheckMessages", "chkDontShowAgain", true));
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdNo"));
    EXPECT_EQ(Flag(), "1");
    EXPECT_FALSE(WindowLoaded());

    agent->SetProductAttribute("last-message-stamp", "");
    agent->SetProductAttribute("do-not-notify-last-message", "");
    AnnounceOneMessage();
    ASSERT_TRUE(renderer.Close("dlgCheckMessages"));
    EXPECT_EQ(renderer.Find("dlgCheckMessages"), nullptr);
    EXPECT_EQ(Flag(), "0");

    AnnounceOneMessage();
    ASSERT_TRUE(renderer.SetChecked("dlgCheckMessages", "chkDontShowAgain", true));
    ASSERT_TRUE(renderer.Click("dlgCheckMessages", "cmdYes"));
    EXPECT_EQ(Flag(), "1");
    EXPECT_TRUE(WindowLoaded());
}

} // namespace
} // namespace KDAutoUpdate
