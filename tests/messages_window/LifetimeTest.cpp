// The window or the agent ends while a browser event is being delivered: the browser control
// must outlive every callback of its own.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class LifetimeTest : public MessagesWindowTest {
protected:
    void TearDown() override {
        EXPECT_EQ(FakeBrowserControl::DestroyedDuringEvent(), destroyedBefore);
    }
    const int destroyedBefore = FakeBrowserControl::DestroyedDuringEvent();
};

TEST_F(LifetimeTest, TheAgentMayEndInsideAPageClickUnloadingTheWindowAndSavingTheStore) {
    auto page = ShowPage(R"(<Messages><Message id="m" downloadPath="http://127.0.0.1/m"/>
                            </Messages>)");
    const std::weak_ptr<void> lifetime = Browser()->Lifetime();
    bool controlAliveAfterEnd = false;
    desktop.OnOpen([&](const std::string&) {
        agent.reset(); // the host lets go while the download is being handed over
        tp.loop().ProcessPendingEvents();
        controlAliveAfterEnd = !lifetime.expired();
    });
    auto button = page->Add("", "button");
    button->Attr("auButtonType", "downloadbutton").Attr("forMessage", "m");

    const std::string date = Attribute("last-init-date");
    EXPECT_FALSE(page->Click(button));
    EXPECT_EQ(desktop.Urls().size(), 1u);
    EXPECT_TRUE(controlAliveAfterEnd) << "the page's control outlives the click it delivers";
    EXPECT_FALSE(tp.loadedForms().Contains("frmMessages"));
    EXPECT_EQ(renderer.Find("frmMessages"), nullptr);
    const auto saved = tp.ReadProgramFile("updateinfo.xml");
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("last-init-date=\"" + date + "\""), std::string::npos);
    tp.loop().ProcessPendingEvents();
    EXPECT_TRUE(lifetime.expired());
}

TEST_F(LifetimeTest, ClosingWhileTheProgressPageReportsStopsBeforeTheServiceIsAsked) {
    Open();
    FakeBrowserControl* browser = Browser();
    const std::weak_ptr<void> lifetime = browser->Lifetime();
    // Runs inside the handler's pending-event processing.
    tp.loop().Post([this] { renderer.Close("frmMessages"); });
    CompleteProgress();
    EXPECT_FALSE(WindowLoaded());
    ASSERT_FALSE(lifetime.expired()) << "released only after the event returned";
    EXPECT_EQ(browser->Navigations().size(), 1u) << "the service is not asked";
    tp.loop().ProcessPendingEvents();
    EXPECT_TRUE(lifetime.expired());
    tp.loop().Advance(2000);
    EXPECT_EQ(host.processCompleted, 1);
}

TEST_F(LifetimeTest, TheAgentMayEndWhileThePageIsBeingBound) {
    Open();
    CompleteProgress();
    FakeBrowserControl* browser = Browser();
    const std::weak_ptr<void> lifetime = browser->Lifetime();
    const short pageId = PageId();
    tp.loop().Post([this] { agent.reset(); });
    browser->Complete(pageId, ServicePage(R"(<Messages><Message id="m"/></Messages>)"));
    EXPECT_EQ(agent, nullptr);
    EXPECT_EQ(Window(), nullptr);
    ASSERT_FALSE(lifetime.expired());
    EXPECT_EQ(browser->VisibleBrowser(), pageId) << "the page was bound before the end";
    tp.loop().ProcessPendingEvents();
    EXPECT_TRUE(lifetime.expired());
}

} // namespace
} // namespace KDAutoUpdate
