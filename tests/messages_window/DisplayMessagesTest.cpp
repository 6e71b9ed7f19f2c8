// DisplayMessages: the busy refusal, the quiet no-ops, the stored date, the owner while
// showing, and the order of the two page loads.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class DisplayMessagesTest : public MessagesWindowTest {};

TEST_F(DisplayMessagesTest, RefusesWhileTheWindowIsOpenAndWritesNoDate) {
    Open();
    const std::string first = Attribute("last-init-date");
    tp.loop().Advance(5000);
    const Outcome<> busy = agent->DisplayMessages();
    ASSERT_FALSE(busy.ok());
    EXPECT_EQ(busy.error().number, -2147221504L);
    EXPECT_EQ(busy.error().source, "AuAgent.DisplayMessages");
    EXPECT_EQ(busy.error().description,
              "Another 'AutoUpdate' already in progress. Process aborted.");
    EXPECT_EQ(Attribute("last-init-date"), first);
    EXPECT_EQ(Browser()->Navigations().size(), 1u) << "the open window is left alone";
}

TEST_F(DisplayMessagesTest, WithoutProductCodeOrConnectionNothingHappens) {
    agent->SetProductCode("");
    ASSERT_TRUE(agent->DisplayMessages().ok());
    EXPECT_FALSE(WindowLoaded());

    agent->SetProductCode(kProductCode);
    tp.utility().SetConnected(false);
    tp.utility().SetConnectResult(false);
    ASSERT_TRUE(agent->DisplayMessages().ok());
    EXPECT_FALSE(WindowLoaded());
    EXPECT_EQ(tp.utility().ConnectNetworkCalls(), 1);

    tp.loop().Advance(10000);
    EXPECT_EQ(host.processCompleted, 0);
    EXPECT_EQ(tp.loop().EnabledTimerCount(), 0);
    EXPECT_EQ(agent->UpdateInfoDocument()->xml().find("last-init-date"), std::string::npos);
}

TEST_F(DisplayMessagesTest, AWindowThatCannotBeLoadedIsTheCallsError) {
    tp.platform().forms = nullptr;
    const Outcome<> outcome = agent->DisplayMessages();
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().source, "AuAgent.DisplayMessages");
    EXPECT_FALSE(Attribute("last-init-date").empty()) << "the steps before the window ran";
    EXPECT_FALSE(agent->IsProcessing());
    tp.loop().Advance(2000);
    EXPECT_EQ(host.processCompleted, 1);

    // A browser control that cannot be made, or a resource library that fails while the window
    // loads: the call fails and no blank window keeps the agent busy.
    ScriptedRenderer withoutBrowser{tp.loop()};
    const std::vector<std::pair<std::string, std::function<void()>>> failures = {
        {"browser control", [&] { tp.platform().forms = &withoutBrowser; }},
        {"resource library",
         [&] {
             tp.platform().forms = &renderer;
             tp.resources().CloseResourceLibrary();
         }},
    };
    for (const auto& [component, fail] : failures) {
        fail();
        const Outcome<> failed = agent->DisplayMessages();
        ASSERT_FALSE(failed.ok()) << component;
        EXPECT_EQ(failed.error().number, kObjectErrorBase + 6) << component;
        EXPECT_FALSE(WindowLoaded()) << component;
    }
}

TEST_F(DisplayMessagesTest, StoresTheDateAndShowsTheWindowOwnedOnlyWhileShowing) {
    struct OwnerProbe : ScriptedRenderer::Observer {
        void FormShown(ScriptedView& view, bool modal) override {
            ownerWhileShown = view.Owner();
            shownModal = modal;
        }
        WindowHandle ownerWhileShown = -1;
        bool shownModal = true;
    } probe;
    renderer.SetObserver(&probe);
    tp.loop().SetNowLocalSeconds(CivilLocalSeconds(2024, 5, 17, 14, 3, 59));
    agent->SethwndOwner(0x4242);

    Open();
    EXPECT_EQ(Attribute("last-init-date"), "2024-05-17 14:03:59");
    ASSERT_NE(View(), nullptr);
    EXPECT_TRUE(View()->IsVisible());
    EXPECT_FALSE(probe.shownModal);
    EXPECT_EQ(probe.ownerWhileShown, 0x4242);
    EXPECT_EQ(View()->Owner(), 0) << "the owner is put back once shown";
    EXPECT_EQ(View()->Caption(), "Keldra Update Service");
    EXPECT_TRUE(agent->IsProcessing());
    renderer.SetObserver(nullptr);
}

TEST_F(DisplayMessagesTest,
       RequestsTheServiceOnceTheProgressPageHasLoadedWithOrWithoutItsElements) {
    Open();

    FakeBrowserControl& browser = *Browser();
    EXPECT_EQ(browser.HostUIFlags(), 0x40201);
    EXPECT_EQ(browser.AddedBrowsers(), (std::vector<short>{PageId(), ProgressId()}));
    ASSERT_EQ(browser.Navigations().size(), 1u);
    EXPECT_EQ(browser.Navigations()[0].id, ProgressId());
    EXPECT_EQ(browser.Navigations()[0].url, ResUrl("AuProgress.html"));
    EXPECT_EQ(browser.VisibleBrowser(), ProgressId());
    tp.loop().Advance(1000);
    EXPECT_EQ(browser.Navigations().size(), 1u) << "nothing is asked before the progress page";

    CompleteProgress();
    ASSERT_EQ(browser.Navigations().size(), 2u);
    EXPECT_EQ(browser.Navigations()[1].id, PageId());
    EXPECT_EQ(browser.Navigations()[1].url, std::string(kBaseURL) +
                                                "/InitUpdate.aspx?TestMode=False&ProductCode=" +
                                                kProductCode + "&UILang=1031&CompatMode=2");
    EXPECT_EQ(browser.VisibleBrowser(), ProgressId());

    // A progress page without its elements leads to the service all the same.
    browser.Complete(ProgressId(), std::make_shared<FakeBrowserControl::Page>());
    ASSERT_EQ(browser.Navigations().size(), 3u);
    EXPECT_EQ(browser.Navigations()[2].id, PageId());
}

} // namespace
} // namespace KDAutoUpdate
