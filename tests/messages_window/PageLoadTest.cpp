// The page-load handshake: a service error, an unreadable island that keeps the progress page in
// front, a readable one that brings the page forward; the browser's other notifications.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class PageLoadTest : public MessagesWindowTest {
protected:
    static constexpr const char* kIsland =
        "<Messages><Message id=\"m1\" name=\"Patch 1\" type=\"msp\"/></Messages>";

    void ExpectWaitingStillShown() {
        EXPECT_EQ(Browser()->VisibleBrowser(), ProgressId());
        EXPECT_EQ(progressPage->Find("lblProgress")->InnerHTML(), kWaitingText);
        EXPECT_EQ(progressPage->Find("lblProgress")->StyleColor(), "#000000");
        EXPECT_EQ(progressPage->Find("imgProgress")->GetAttribute("src"),
                  ResUrl("aniProgress.gif"));
    }
    void ExpectIslandError() {
        ASSERT_TRUE(Window()->LastError().has_value());
        EXPECT_EQ(Window()->LastError()->number, -2147221503L);
        EXPECT_EQ(Window()->LastError()->source, "KDAutoUpdate.frmMessages");
        EXPECT_EQ(Window()->LastError()->description, "Error while parsing XML-Island.");
    }
};

TEST_F(PageLoadTest, AServiceErrorShowsItsCodeInBoldRedWithTheStoppedAnimation) {
    Open();
    CompleteProgress();
    const auto label = progressPage->Find("lblProgress");

    EXPECT_FALSE(Browser()->Fail(PageId(), -2146697211)) << "the navigation is not cancelled";
    EXPECT_EQ(label->InnerHTML(),
              "Der Keldra Update Server ist momentan entweder nicht erreichbar oder kann die "
              "Anfrage nicht erfüllen. Fehlercode: <b>-2146697211</b>.");
    EXPECT_EQ(label->StyleColor(), "#FF0000");
    EXPECT_EQ(progressPage->Find("imgProgress")->GetAttribute("src"),
              ResUrl("aniProgressStop.gif"));
    EXPECT_EQ(Browser()->VisibleBrowser(), ProgressId());

    // Errors of the progress browser are not the window's business.
    label->SetInnerHTML("unchanged");
    Browser()->Fail(ProgressId(), 500);
    EXPECT_EQ(label->InnerHTML(), "unchanged");
    EXPECT_TRUE(WindowLoaded());
}

TEST_F(PageLoadTest, AnUnreadableIslandIsRecordedAndKeepsTheProgressPageInFront) {
    auto malformed = ShowPage("<Messages><Message id=\"m1\"></Messages>");
    ExpectIslandError();
    ExpectWaitingStillShown();
    EXPECT_EQ(Window()->Messages().Count(), 0u);
    EXPECT_FALSE(malformed->Find("cmdClose")->HasOnClick()) << "the close element is not bound";

    auto withoutIsland = std::make_shared<FakeBrowserControl::Page>("http://x/InitUpdate.aspx");
    withoutIsland->Add("cmdClose");
    Browser()->Complete(PageId(), withoutIsland);
    ExpectIslandError();
    ExpectWaitingStillShown();
    EXPECT_FALSE(withoutIsland->Find("cmdClose")->HasOnClick());
}

TEST_F(PageLoadTest, AReadableIslandBringsThePageForwardAndLaterBadPagesKeepItsRecords) {
    Open();
    CompleteProgress();
    const std::size_t locksBefore = Browser()->LockCalls().size();
    auto page = ServicePage(kIsland);
    Browser()->Complete(PageId(), page);

    EXPECT_FALSE(Window()->LastError().has_value());
    EXPECT_EQ(Browser()->VisibleBrowser(), PageId());
    ASSERT_EQ(Browser()->LockCalls().size(), locksBefore + 1);
    EXPECT_FALSE(Browser()->LockCalls().back()) << "painting resumes with the page in front";
    EXPECT_TRUE(page->HasOnClick());
    EXPECT_TRUE(page->Find("cmdClose")->HasOnClick());
    ASSERT_EQ(Window()->Messages().Count(), 1u);
    EXPECT_EQ(Window()->Messages().Item(0)->Name(), "Patch 1");

    Browser()->Complete(PageId(), ServicePage("<Messages><Message id=\"m2\""));
    ExpectIslandError();
    ASSERT_EQ(Window()->Messages().Count(), 1u);
    EXPECT_NE(Window()->Messages().Find("m1"), nullptr);
    EXPECT_EQ(Browser()->Navigations().size(), 2u) << "no further request";
}

TEST_F(PageLoadTest, OnlyAnXmlElementOrAnXmlScriptIsTheIslandAndItsHtmlWrapperIsTakenOff) {
    Open();
    CompleteProgress();
    struct Case {
        const char* tag;
        std::vector<std::pair<std::string, std::string>> attributes;
        bool island;
    };
    const Case cases[] = {
        {"div", {}, false},
        {"script", {}, false},
        {"script", {{"type", "text/javascript"}, {"language", "javascript"}}, false},
        {"SCRIPT", {{"language", " XML "}}, true},
        {"script", {{"type", "text/xml; charset=utf-8"}}, true},
        {"script", {{"type", "application/xml"}}, true},
        {"XML", {}, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string id = "t" + std::to_string(++n);
        auto page = std::make_shared<FakeBrowserControl::Page>("http://x/InitUpdate.aspx");
        auto island = page->Add("KdAutoUpdate", c.tag);
        for (const auto& [name, value] : c.attributes)
            island->SetAttribute(name, value);
        island->SetRawSource("<Messages><Message id=\"" + id + "\"/></Messages>");
        Browser()->Complete(PageId(), page);
        EXPECT_EQ(Window()->Messages().Find(id) != nullptr, c.island) << c.tag << " " << id;
    }
    Browser()->Complete(PageId(), ServicePage(kIsland, true));
    ASSERT_NE(Window()->Messages().Find("m1"), nullptr);
    EXPECT_EQ(Window()->Messages().Find("m1")->MessageType(), aumtMSP);
    // A data island whose own root is an element named "xml" is not taken for the wrapper.
    Browser()->Complete(PageId(), ServicePage("<xml><Message id=\"m9\" name=\"Inner\"/></xml>"));
    EXPECT_NE(Window()->Messages().Find("m9"), nullptr);
}

TEST_F(PageLoadTest, PageScriptsGetNoMessageBoxesMayOpenWindowsButNoKeyReloadsOrLeaves) {
    ShowPage(kIsland);
    EXPECT_TRUE(Browser()->Alert(PageId(), "hello"));
    EXPECT_TRUE(Browser()->Alert(ProgressId(), "hello"));
    EXPECT_FALSE(Browser()->NewWindow(PageId(), "http://127.0.0.1/popup"));
    EXPECT_EQ(renderer.Views().size(), 1u);

    // Keys that reload or leave the page are swallowed in both browsers.
    constexpr int kShift = 1, kCtrl = 2, kAlt = 4;
    const struct {
        int key;
        int modifiers;
        bool swallowed;
    } cases[] = {
        {116, 0, true},                                                      // F5
        {122, 0, true},                                                      // F11
        {27, 0, true},                                                       // Esc
        {'N', kCtrl, true},                                                  // Ctrl+N
        {37, kAlt, true},                                                    // Alt+Left
        {'A', kShift, true},                                                 // Shift+A
        {'A', 0, false},     {13, 0, false}, {9, 0, false}, {115, 0, false}, // F4
    };
    for (const short id : {PageId(), ProgressId()})
        for (const auto& c : cases)
            EXPECT_EQ(Browser()->Key(id, c.key, c.modifiers), c.swallowed)
                << "browser " << id << " key " << c.key << " modifiers " << c.modifiers;
}

} // namespace
} // namespace KDAutoUpdate
