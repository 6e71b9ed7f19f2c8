// The headless browser control on the deterministic platform: loads through the scripted network
// and the in-memory resource library, events only from the loop, the page DOM, and the driver
// operations that stand in for the user.

#include "platform/headless/HeadlessBrowser.h"
#include "platform/portable/ResUrl.h"
#include "tests/support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace KDAutoUpdate;

namespace {

using Response = FakeHttpFetcher::Response;

constexpr const char* kLibraryPath = "/opt/key app/_AuResLib.rcc";

// Records every event as one line and answers like the messages window does.
class EventRecorder : public IBrowserEvents {
public:
    std::vector<std::string> lines;
    long lastStatus = 0;
    bool alertHandled = true;
    bool cancelNewWindow = false;
    std::function<void(short)> onComplete;

    void DocumentComplete(short id, const std::string& url) override {
        lines.push_back("complete " + std::to_string(id) + " " + url);
        if (onComplete)
            onComplete(id);
    }
    void NavigateError(short id, const std::string& url, long statusCode, bool&) override {
        lastStatus = statusCode;
        lines.push_back("error " + std::to_string(id) + " " + url + " " +
                        std::to_string(statusCode));
    }
    void ShowMessage(short id, const std::string& text, const std::string&,
                     bool& handled) override {
        lines.push_back("message " + std::to_string(id) + " " + text);
        handled = alertHandled;
    }
    void NewWindow3(short id, bool& cancel, const std::string& url) override {
        lines.push_back("newwindow " + std::to_string(id) + " " + url);
        cancel = cancelNewWindow;
    }
    void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) override {
        lines.push_back("key " + std::to_string(id) + " " + std::to_string(keyCode) + " " +
                        std::to_string(modifiers));
        handled = modifiers > 0 || keyCode == 27 || keyCode == 116 || keyCode == 122;
    }
};

class HeadlessBrowserTest : public ::testing::Test {
protected:
    HeadlessBrowserTest() {
        tp.resources().OpenResourceLibrary(kLibraryPath);
        browser = std::make_unique<HeadlessBrowser>(tp.http(), &tp.resources(), tp.loop());
        browser->SetEvents(&events);
        browser->AddBrowser(page);
    }

    // Serves `html` at a URL and loads it into the page browser.
    void Load(const std::string& html, const std::string& url = "http://svc/InitUpdate.aspx") {
        tp.http().SetResponse(url, Response::Ok(html));
        ASSERT_TRUE(browser->Navigate(page, url));
        ASSERT_TRUE(tp.loop().RunUntil([&] { return !browser->IsLoading(page); }, 1000));
    }
    static std::string ResUrl(const std::string& name) {
        return "res://" + ResourceUrlPath(kLibraryPath) + "/" + name;
    }
    std::shared_ptr<IHtmlElement> El(const std::string& id) { return browser->FindById(page, id); }

    TestPlatform tp;
    EventRecorder events;
    std::unique_ptr<HeadlessBrowser> browser;
    short page = 0;
};

// --- Loading --------------------------------------------------------------------------------

TEST_F(HeadlessBrowserTest, PageLoadCompletesThroughTheLoopNotInsideNavigate) {
    tp.http().SetResponse("http://svc/p", Response::Ok("<p id='x'>Hallo</p>"));
    ASSERT_TRUE(browser->Navigate(page, "http://svc/p"));
    EXPECT_TRUE(events.lines.empty());
    EXPECT_TRUE(browser->IsLoading(page));
    EXPECT_EQ(browser->Document(page), nullptr);

    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines, std::vector<std::string>{"complete 1 http://svc/p"});
    EXPECT_FALSE(browser->IsLoading(page));
    ASSERT_NE(browser->Document(page), nullptr);
    EXPECT_EQ(browser->Document(page)->Url(), "http://svc/p");
    EXPECT_EQ(browser->CurrentUrl(page), "http://svc/p");
    EXPECT_EQ(browser->TextContent(page, "x"), "Hallo");
}

TEST_F(HeadlessBrowserTest, FailedLoadsRaiseNavigateErrorWithTheStatusAndNoCompletion) {
    tp.http().SetResponse("http://svc/missing", Response::Status(404, "<p>not here</p>"));
    tp.http().SetResponse("http://svc/broken", Response::Status(500));
    tp.http().SetResponse("http://nohost/x", Response::TransportError());
    for (const char* url : {"http://svc/missing", "http://svc/broken", "http://nohost/x"})
        browser->Navigate(page, url);
    // Only the last navigation counts; run each on its own.
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines.size(), 1u);
    EXPECT_LT(events.lastStatus, 0);
    EXPECT_EQ(events.lastStatus, FakeHttpFetcher::kUnreachable);

    for (const auto& [url, status] : std::vector<std::pair<std::string, long>>{
             {"http://svc/missing", 404}, {"http://svc/broken", 500}}) {
        events.lines.clear();
        browser->Navigate(page, url);
        tp.loop().ProcessPendingEvents();
        EXPECT_EQ(events.lines,
                  std::vector<std::string>{"error 1 " + url + " " + std::to_string(status)});
    }
    EXPECT_EQ(browser->Document(page), nullptr);
    EXPECT_FALSE(browser->IsLoading(page));
}

TEST_F(HeadlessBrowserTest, ASecondNavigationSupersedesTheFirst) {
    tp.http().SetResponse("http://svc/slow", Response::Never());
    tp.http().SetResponse("http://svc/fast", Response::Ok("<p id='fast'>b</p>"));
    browser->Navigate(page, "http://svc/slow");
    browser->Navigate(page, "http://svc/fast");
    EXPECT_EQ(tp.http().AbortCount(), 1);
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines, std::vector<std::string>{"complete 1 http://svc/fast"});

    // A late answer of the superseded load changes nothing.
    tp.http().CompleteAllPending(Response::Ok("<p id='slow'>a</p>"));
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines.size(), 1u);
    EXPECT_EQ(browser->CurrentUrl(page), "http://svc/fast");
    EXPECT_EQ(El("slow"), nullptr);
}

// --- The page's DOM -------------------------------------------------------------------------

TEST_F(HeadlessBrowserTest, TheIslandKeepsItsSourceTextAndCase) {
    const std::string island = "\n<Messages>\n  <Message id=\"A\" toVersion=\"5.1\" "
                               "downloadPath=\"http://dl/a.msp?x=1&amp;y=2\" "
                               "type=\"MSP\">\n    <Features><Feature name=\"Core\" "
                               "allowUserSelection=\"1\"/></Features>\n"
                               "  </Message>\n</Messages>\n";
    Load("<html><head><title>t</title></head><body><h1>Updates</h1>"
         "<script type=\"text/xml\" id=\"KdAutoUpdate\">" +
         island + "</script><p>after</p></body></html>");
    auto element = El("KdAutoUpdate");
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->TagName(), "SCRIPT");
    EXPECT_EQ(element->RawSource(), island);

    // An <xml> island is parsed as markup by HTML rules, yet its source text stays whole.
    const std::string xmlIsland = "<Root><Message id=\"B\"><Features/></Message></Root>";
    Load("<body><xml id=\"KdAutoUpdate\">" + xmlIsland + "</xml><div id='d'>x</div></body>");
    EXPECT_EQ(El("KdAutoUpdate")->RawSource(), xmlIsland);
    EXPECT_EQ(El("d")->RawSource(), "x");
}

TEST_F(HeadlessBrowserTest, AttributesAreFoundInAnyCaseAndKeepTheirSpelling) {
    Load("<body><button id=\"b1\" auButtonType=\"ActionButton\" forMessage=\"A\">Install</button>"
         "<input id=\"c1\" type=\"checkbox\" auButtonType=\"FeatureStateChooser\" "
         "forMessage=\"A\" forFeature=\"Core\" checked>"
         "<button id=\"b2\" AUBUTTONTYPE=\"downloadbutton\" formessage=\"a\">Get</button></body>");
    auto button = El("b1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetAttribute("aubuttontype"), "ActionButton");
    EXPECT_EQ(button->GetAttribute("AUBUTTONTYPE"), "ActionButton");
    EXPECT_EQ(button->GetAttribute("forFeature"), std::nullopt);
    EXPECT_EQ(El("c1")->GetAttribute("checked"), "");
    EXPECT_TRUE(El("c1")->Checked());
    EXPECT_FALSE(button->Checked());

    // Names match in any case, values exactly.
    EXPECT_EQ(browser->FindFirst(page, {{"AuButtonType", "downloadbutton"}}), El("b2"));
    EXPECT_EQ(browser->FindFirst(page, {{"auButtonType", "actionbutton"}}), nullptr);
    auto forA = browser->FindAll(page, {{"FORMESSAGE", "A"}});
    ASSERT_EQ(forA.size(), 2u);
    EXPECT_EQ(forA[0], El("b1"));
    EXPECT_EQ(forA[1], El("c1"));

    // A rewritten attribute keeps the source's spelling; a new one is added as given.
    button->SetAttribute("AUBUTTONTYPE", "none");
    button->SetAttribute("data-New", "1");
    EXPECT_EQ(browser->TextContent(page, ""), "[Install] [x] [Get]");
    auto body = std::dynamic_pointer_cast<HeadlessElement>(El("b1"))->Parent();
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body->InnerHTML().find("auButtonType=\"none\" forMessage=\"A\" data-New=\"1\""),
              std::string::npos);
}

TEST_F(HeadlessBrowserTest, ElementsByIdAndMarkupEditing) {
    Load("<body><span id='dup'>first</span><span id='dup'>second</span>"
         "<div id='lblProgress' style='font-weight: bold'>Einen Moment <i>bitte</i> &amp; "
         "danke<!-- note --></div><img id='imgProgress' src='a.gif'></body>");
    EXPECT_EQ(El("nothing"), nullptr);
    EXPECT_EQ(El("dup")->InnerHTML(), "first");

    auto label = El("lblProgress");
    EXPECT_EQ(label->InnerHTML(), "Einen Moment <i>bitte</i> &amp; danke<!-- note -->");
    EXPECT_EQ(label->TagName(), "DIV");

    const std::string error = "Fehlercode: <b>404</b>.";
    label->SetInnerHTML(error);
    EXPECT_EQ(label->InnerHTML(), error);
    EXPECT_EQ(browser->TextContent(page, "lblProgress"), "Fehlercode: 404.");
    label->SetInnerHTML("<span id='inner'>neu</span>");
    ASSERT_NE(El("inner"), nullptr);
    EXPECT_EQ(El("inner")->InnerHTML(), "neu");

    // The style's colour, beside what the page set.
    label->SetStyleColor("#FF0000");
    label->SetStyleColor("#000000");
    EXPECT_EQ(label->GetAttribute("style"), "font-weight: bold; color: #000000");

    // Edits inside an element show in its ancestors' markup.
    auto image = El("imgProgress");
    image->SetAttribute("src", "res:///x/aniProgressStop.gif");
    auto body = std::dynamic_pointer_cast<HeadlessElement>(image)->Parent();
    EXPECT_NE(
        body->InnerHTML().find("<img id=\"imgProgress\" src=\"res:///x/aniProgressStop.gif\">"),
        std::string::npos);
    EXPECT_NE(body->InnerHTML().find("<span id='inner'>neu</span>"), std::string::npos);
}

TEST_F(HeadlessBrowserTest, VisibleTextLeavesOutWhatAPageDoesNotShow) {
    Load("<html><head><title>T</title><style>p{}</style></head><body>"
         "<h1>Updates</h1><script>var a = 1;</script>\n  <p>Version   5.1\n ist da.</p>"
         "<ul><li>Neu</li><li>Besser</li></ul><div hidden>secret</div>"
         "<div style='display: none'>also</div>Zeile<br>zwei"
         "<input type='checkbox'> Extra <input type='hidden' value='h'></body></html>");
    EXPECT_EQ(browser->TextContent(page, ""),
              "Updates\nVersion 5.1 ist da.\n* Neu\n* Besser\nZeile\nzwei [ ] Extra");
    EXPECT_EQ(browser->TextContent(page, "nothing"), "");
}

// --- Clicks ---------------------------------------------------------------------------------

class HeadlessBrowserClickTest : public HeadlessBrowserTest {
protected:
    void SetUp() override {
        Load("<body><button id='btn' auButtonType='actionbutton'><span id='label'>Install</span>"
             "</button><input id='chk' type='checkbox' checked>"
             "<input id='off' type='checkbox' disabled><a id='close' href='#'>x</a></body>");
        browser->Document(page)->SetOnClick([this](const HtmlElementPtr& source) {
            order.push_back("document:" + (source ? source->Id() : std::string("null")) +
                            (source && source->Checked() ? ":checked" : ""));
            return documentAnswer;
        });
    }

    std::vector<std::string> order;
    bool documentAnswer = false;
};

TEST_F(HeadlessBrowserClickTest, TheElementHandlerRunsFirstThenTheDocumentWithTheInnermostSource) {
    El("btn")->SetOnClick([this] {
        order.push_back("element:btn");
        return true;
    });
    documentAnswer = true;
    EXPECT_TRUE(browser->Click(page, El("btn")));
    EXPECT_EQ(order, (std::vector<std::string>{"element:btn", "document:btn"}));

    // A click on the text inside the button names the span; the button hears it bubble.
    order.clear();
    EXPECT_TRUE(browser->Click(page, El("label")));
    EXPECT_EQ(order, (std::vector<std::string>{"element:btn", "document:label"}));
}

TEST_F(HeadlessBrowserClickTest, TheDefaultActionIsKeptOnlyWhenEveryHandlerAgrees) {
    struct Case {
        bool element;
        bool document;
        bool kept;
    };
    for (const Case c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false},
                         Case{false, false, false}}) {
        order.clear();
        El("close")->SetOnClick([this, c] {
            order.push_back("element:close");
            return c.element;
        });
        documentAnswer = c.document;
        EXPECT_EQ(browser->Click(page, El("close")), c.kept);
        // The document hears the click even when the element cancelled it.
        EXPECT_EQ(order.size(), 2u);
    }
    // Without handlers nothing cancels.
    browser->Document(page)->SetOnClick(nullptr);
    El("close")->SetOnClick(nullptr);
    EXPECT_TRUE(browser->Click(page, El("close")));
}

TEST_F(HeadlessBrowserClickTest, ACheckBoxTogglesBeforeTheHandlersAndRevertsWhenCancelled) {
    auto box = El("chk");
    ASSERT_TRUE(box->Checked());
    documentAnswer = true;
    EXPECT_TRUE(browser->Click(page, box));
    EXPECT_FALSE(box->Checked());
    EXPECT_TRUE(browser->Click(page, box));
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(order, (std::vector<std::string>{"document:chk", "document:chk:checked"}));

    // Cancelled: the handler saw the new state, the box went back.
    order.clear();
    documentAnswer = false;
    EXPECT_FALSE(browser->Click(page, box));
    EXPECT_EQ(order, std::vector<std::string>{"document:chk"});
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(box->GetAttribute("checked"), "");

    // A disabled box does not change.
    documentAnswer = true;
    browser->Click(page, El("off"));
    EXPECT_FALSE(El("off")->Checked());
}

TEST_F(HeadlessBrowserClickTest, AHandlerMayDestroyTheBrowser) {
    // The close element unloads the window that owns the control.
    El("close")->SetOnClick([this] {
        order.push_back("element:close");
        browser.reset();
        return false;
    });
    const auto close = El("close");
    EXPECT_FALSE(browser->Click(page, close));
    EXPECT_EQ(browser, nullptr);
    EXPECT_EQ(order, std::vector<std::string>{"element:close"});
}

TEST_F(HeadlessBrowserClickTest, ElementsOfAnEarlierPageCannotBeClicked) {
    auto old = El("btn");
    bool ran = false;
    old->SetOnClick([&ran] {
        ran = true;
        return true;
    });
    Load("<p id='btn'>new page</p>", "http://svc/next");
    EXPECT_FALSE(browser->Click(page, old));
    EXPECT_FALSE(ran);
    EXPECT_TRUE(order.empty());
    EXPECT_FALSE(browser->Click(page, nullptr));
}

// --- What the page asks of its host ---------------------------------------------------------

TEST_F(HeadlessBrowserTest, KeysReachThePageUnlessTheHostHandlesThem) {
    EXPECT_TRUE(browser->PressKey(page, 'A', 0));
    EXPECT_FALSE(browser->PressKey(page, 116, 0)); // F5
    EXPECT_FALSE(browser->PressKey(page, 'N', 2)); // Ctrl+N
    EXPECT_FALSE(browser->PressKey(page, 27, 0));  // Esc
    EXPECT_EQ(events.lines,
              (std::vector<std::string>{"key 1 65 0", "key 1 116 0", "key 1 78 2", "key 1 27 0"}));
    // Without a host every key goes to the page.
    browser->SetEvents(nullptr);
    EXPECT_TRUE(browser->PressKey(page, 116, 0));
}

TEST_F(HeadlessBrowserTest, ScriptAlertsAndNewWindowsAskTheHost) {
    EXPECT_TRUE(browser->RaiseScriptAlert(page, "Hallo"));
    events.alertHandled = false;
    EXPECT_FALSE(browser->RaiseScriptAlert(page, "Nochmal"));
    EXPECT_TRUE(browser->RequestNewWindow(page, "http://svc/popup"));
    events.cancelNewWindow = true;
    EXPECT_FALSE(browser->RequestNewWindow(page, "http://svc/popup"));
    EXPECT_EQ(events.lines, (std::vector<std::string>{"message 1 Hallo", "message 1 Nochmal",
                                                      "newwindow 1 http://svc/popup",
                                                      "newwindow 1 http://svc/popup"}));
}

TEST_F(HeadlessBrowserTest, ACompletionHandlerMayNavigateAgainOrDestroyTheControl) {
    tp.resources().SetResource("AuProgress.html", "<p id='progress'></p>");
    tp.http().SetResponse("http://svc/page", Response::Ok("<p id='page'></p>"));
    short progress = 0;
    browser->AddBrowser(progress);
    events.onComplete = [&](short id) {
        if (id == progress)
            browser->Navigate(page, "http://svc/page");
        else
            browser.reset();
    };
    browser->Navigate(progress, ResUrl("AuProgress.html"));
    tp.loop().RunUntil([&] { return browser == nullptr; }, 1000);
    EXPECT_EQ(browser, nullptr);
    EXPECT_EQ(events.lines, (std::vector<std::string>{"complete 2 " + ResUrl("AuProgress.html"),
                                                      "complete 1 http://svc/page"}));
}

} // namespace
