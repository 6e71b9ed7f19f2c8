// The headless browser control on the deterministic platform: loads, events from the loop only,
// the page DOM, and the driver operations that stand in for the user.

#include "platform/headless/HeadlessBrowser.h"
#include "platform/portable/ResUrl.h"
#include "tests/support/BrowserEventRecorder.h"
#include "tests/support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace KDAutoUpdate;

namespace {

using Response = FakeHttpFetcher::Response;
using Lines = BrowserEventRecorder::Lines;

constexpr const char* kLibraryPath = "/opt/key app/_AuResLib.rcc";

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
    std::shared_ptr<IHtmlElement> El(const std::string& id) { return browser->FindById(page, id); }
    std::string BodyMarkup() {
        return std::dynamic_pointer_cast<HeadlessElement>(El("b1"))->Parent()->InnerHTML();
    }

    TestPlatform tp;
    BrowserEventRecorder events;
    std::unique_ptr<HeadlessBrowser> browser;
    short page = 0;
};

TEST_F(HeadlessBrowserTest, PageLoadCompletesThroughTheLoopNotInsideNavigate) {
    tp.http().SetResponse("http://svc/p", Response::Ok("<p id='x'>Hallo</p>"));
    ASSERT_TRUE(browser->Navigate(page, "http://svc/p"));
    EXPECT_TRUE(events.lines.empty());
    EXPECT_TRUE(browser->IsLoading(page));
    EXPECT_EQ(browser->Document(page), nullptr);

    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines, Lines{"complete 1 http://svc/p"});
    EXPECT_FALSE(browser->IsLoading(page));
    ASSERT_NE(browser->Document(page), nullptr);
    EXPECT_EQ(browser->Document(page)->Url(), "http://svc/p");
    EXPECT_EQ(browser->TextContent(page, "x"), "Hallo");
}

// The fetch a newer navigation supersedes is aborted, and the abort's answer raises nothing.
TEST_F(HeadlessBrowserTest, ANewerNavigationStopsTheFetchItSupersedes) {
    tp.http().SetResponse("http://svc/held", Response::Never());
    ASSERT_TRUE(browser->Navigate(page, "http://svc/held"));
    Load("<p id='x'>new</p>", "http://svc/new");
    EXPECT_EQ(tp.http().AbortCount(), 1);
    tp.loop().ProcessPendingEvents();
    EXPECT_EQ(events.lines, Lines{"complete 1 http://svc/new"});
}

TEST_F(HeadlessBrowserTest, FailedTooDeepOrHugeLoadsRaiseNavigateErrorAndNoCompletion) {
    const auto repeat = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += piece;
        return text;
    };
    std::string distinctBold;
    for (int i = 0; i < 2100; ++i)
        distinctBold += "<p><b id=\"b" + std::to_string(i) + "\"></p>";
    const std::string tooLarge = std::to_string(BrowserNavigation::kOutOfMemory);
    const std::pair<Response, std::string> cases[] = {
        {Response::Status(404, "<p>not here</p>"), "404"},
        {Response::TransportError(), std::to_string(FakeHttpFetcher::kUnreachable)},
        {Response::Ok(repeat("<div>", 100000)), tooLarge},
        {Response::Ok(repeat("<br>", 100001)), tooLarge},
        // "/>" closes nothing in HTML, and an end tag closes only an element that is open.
        {Response::Ok(repeat("<div/>", 2500)), tooLarge},
        {Response::Ok(repeat("<div></span>", 2500)), tooLarge},
        {Response::Ok(repeat("<b><div></b>", 2500)), tooLarge},
        {Response::Ok("<svg><style>" + repeat("<g>", 2500)), tooLarge},
        // Formatting elements that paragraphs' ends closed are opened again in the next one.
        {Response::Ok(distinctBold + "<p>x</p>"), tooLarge},
        {Response::Ok(repeat("<p><b>x</p>", 5000)), ""}, // no more than three alike
        // A formatting element's end with a block inside it closes what the parser's adoption
        // steps close: misnested runs stay as shallow as they are.
        {Response::Ok(repeat("<div>", 1900) +
                      repeat("<i><b><p>x</i></b>y</p><font><span><div>z</font></div>", 1000)),
         ""},
        // Closed elements, void ones and comments do not add to the depth.
        {Response::Ok(repeat("<div><br><img src=x/><p/><!-- <div> --></div>", 10000)), ""},
    };
    for (const auto& [response, status] : cases) {
        events.lines.clear();
        tp.http().SetResponse("http://svc/p", response);
        browser->Navigate(page, "http://svc/p");
        tp.loop().ProcessPendingEvents();
        EXPECT_EQ(events.lines, Lines{status.empty() ? "complete 1 http://svc/p"
                                                     : "error 1 http://svc/p " + status});
        EXPECT_EQ(browser->Document(page) == nullptr, !status.empty());
        EXPECT_FALSE(browser->IsLoading(page));
    }
}

// A release history as HTML lets it be written: rows, cells, list items and paragraphs whose
// end tags are left out, options and definitions likewise, and a script whose text is full of
// markup. It nests no deeper than a few elements and loads with its island.
TEST_F(HeadlessBrowserTest, LongListsAndTablesWithoutEndTagsLoad) {
    std::string history = "<!DOCTYPE html><html><head><title>History <b></title><script>var t = '";
    for (int i = 0; i < 4000; ++i)
        history += "<a href=\"#" + std::to_string(i) + "\"><div>";
    history += "';</script><style>p > a { color: red }</style></head><body><table>";
    for (int i = 0; i < 2200; ++i)
        history += "<tr><td>5." + std::to_string(i) + "<td><p>Fixed";
    history += "</table><ul>";
    for (int i = 0; i < 2500; ++i)
        history += "<li>Change " + std::to_string(i) + "<p>More";
    history += "</ul><select>";
    for (int i = 0; i < 2100; ++i)
        history += "<option>" + std::to_string(i);
    history += "</select><dl>";
    for (int i = 0; i < 2100; ++i)
        history += "<dt>Term<dd>Text";
    history += "</dl><!-- <div> --><xml id=\"KdAutoUpdate\"><Messages><Message id=\"m1\"/>"
               "</Messages></xml></body></html>";
    Load(history);
    EXPECT_EQ(events.lines, Lines{"complete 1 http://svc/InitUpdate.aspx"});
    ASSERT_NE(El("KdAutoUpdate"), nullptr);
    EXPECT_EQ(El("KdAutoUpdate")->RawSource(), "<Messages><Message id=\"m1\"/></Messages>");
}

// Pages that are not fetched: the opened library's resources in their own encoding, about:,
// and nothing else. An https page is fetched like an http one.
TEST_F(HeadlessBrowserTest, LocalPagesComeFromTheOpenedLibraryOrAboutOnly) {
    tp.resources().SetResource("Page.html", "<p id='x'>Gr\xF6\xDF"
                                            "e</p>");
    const std::string library = "res://" + ResourceUrlPath(kLibraryPath);
    const std::string otherLibrary = "res://" + ResourceUrlPath("/opt/other/_AuResLib.rcc");
    tp.http().SetResponse("https://svc/s", Response::Ok("<p id='x'>secure</p>"));
    // The text of the page's element, or the status of its failure.
    const struct {
        std::string url;
        bool loads;
        std::string result;
    } cases[] = {
        {library + "/Page.html", true, "Gr\u00f6\u00dfe"},
        {"about:blank", true, ""},
        {"https://svc/s", true, "secure"},
        {library + "/Missing.html", false, "404"},
        {otherLibrary + "/Page.html", false, "404"},
        {"ftp://svc/Page.html", false, "-2146697203"}, // unknown protocol
    };
    for (const auto& c : cases) {
        events.lines.clear();
        ASSERT_TRUE(browser->Navigate(page, c.url));
        tp.loop().ProcessPendingEvents();
        if (!c.loads) {
            EXPECT_EQ(events.lines, Lines{"error 1 " + c.url + " " + c.result});
            continue;
        }
        EXPECT_EQ(events.lines, Lines{"complete 1 " + c.url});
        EXPECT_EQ(browser->CurrentUrl(page), c.url);
        EXPECT_EQ(browser->TextContent(page, "x"), c.result);
    }
}

// No header names a charset here: the byte-order mark decides, else the bytes themselves.
TEST_F(HeadlessBrowserTest, PagesReadAsTheirBytesMeanWithoutACharset) {
    const std::string island = "<M name=\"Gr\u00f6\u00dfe \u20ac\"/>";
    const std::string latin = "<M name=\"Gr\xF6\xDF"
                              "e \x80\"/>";
    for (const std::string& source :
         {"<body><xml id=\"KdAutoUpdate\">" + latin + "</xml></body>",
          "<body><xml id=\"KdAutoUpdate\">" + island + "</xml></body>",
          "\xEF\xBB\xBF<body><xml id=\"KdAutoUpdate\">" + island + "</xml></body>"}) {
        Load(source);
        ASSERT_NE(El("KdAutoUpdate"), nullptr) << source;
        EXPECT_EQ(El("KdAutoUpdate")->RawSource(), island) << source;
    }
    // UTF-16 in both byte orders, by its mark alone.
    const std::string ascii = "<body><xml id=\"KdAutoUpdate\"><M name=\"x\"/></xml></body>";
    for (const bool little : {true, false}) {
        std::string utf16 = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const char c : ascii)
            utf16 += little ? std::string{c, '\0'} : std::string{'\0', c};
        Load(utf16);
        ASSERT_NE(El("KdAutoUpdate"), nullptr) << little;
        EXPECT_EQ(El("KdAutoUpdate")->RawSource(), "<M name=\"x\"/>");
    }
}

TEST_F(HeadlessBrowserTest, TheIslandKeepsItsSourceTextAndCase) {
    const std::string island = "\n<Messages>\n  <Message id=\"A\" toVersion=\"5.1\" "
                               "downloadPath=\"http://dl/a.msp?x=1&amp;y=2\" "
                               "type=\"MSP\">\n    <Features><Feature name=\"Core\" "
                               "allowUserSelection=\"1\"/></Features>\n"
                               "  </Message>\n</Messages>\n";
    Load("<html><head><title>t</title></head><body><h1>Updates</h1>"
         "<script type=\"text/xml\" id=\"KdAutoUpdate\">" +
         island + "</script><p>after</p></body></html>");
    ASSERT_NE(El("KdAutoUpdate"), nullptr);
    EXPECT_EQ(El("KdAutoUpdate")->TagName(), "SCRIPT");
    EXPECT_EQ(El("KdAutoUpdate")->RawSource(), island);

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
    EXPECT_EQ(button->GetAttribute("AUBUTTONTYPE"), "ActionButton");
    EXPECT_EQ(button->GetAttribute("forFeature"), std::nullopt);
    EXPECT_EQ(El("c1")->GetAttribute("checked"), "");
    EXPECT_TRUE(El("c1")->Checked());
    EXPECT_FALSE(button->Checked());

    // Names match in any case, values exactly.
    EXPECT_EQ(browser->FindFirst(page, {{"AuButtonType", "downloadbutton"}}), El("b2"));
    EXPECT_EQ(browser->FindFirst(page, {{"auButtonType", "actionbutton"}}), nullptr);
    EXPECT_EQ(browser->FindAll(page, {{"FORMESSAGE", "A"}}),
              (std::vector<HtmlElementPtr>{El("b1"), El("c1")}));

    // A rewritten attribute keeps the source's spelling; a new one is added as given.
    button->SetAttribute("AUBUTTONTYPE", "none");
    button->SetAttribute("data-New", "1");
    EXPECT_EQ(browser->TextContent(page, ""), "[Install] [x] [Get]");
    EXPECT_NE(BodyMarkup().find("auButtonType=\"none\" forMessage=\"A\" data-New=\"1\""),
              std::string::npos);
}

TEST_F(HeadlessBrowserTest, ElementsByIdAndMarkupEditing) {
    Load("<body><span id='b1'>first</span><span id='b1'>second</span>"
         "<div id='lbl' style='font-weight: bold'>Einen <i>Moment</i> &amp; danke<!-- x --></div>"
         "<img id='img' src='a.gif'></body>");
    EXPECT_EQ(El("nothing"), nullptr);
    EXPECT_EQ(El("b1")->InnerHTML(), "first");
    EXPECT_EQ(El("lbl")->InnerHTML(), "Einen <i>Moment</i> &amp; danke<!-- x -->");
    El("lbl")->SetInnerHTML("Fehlercode: <b id='code'>404</b>.");
    EXPECT_EQ(browser->TextContent(page, "lbl"), "Fehlercode: 404.");
    EXPECT_EQ(El("code")->InnerHTML(), "404");
    // The style's colour, beside what the page set.
    El("lbl")->SetStyleColor("#FF0000");
    El("lbl")->SetStyleColor("#000000");
    EXPECT_EQ(El("lbl")->GetAttribute("style"), "font-weight: bold; color: #000000");
    // Edits inside an element show in its ancestors' markup.
    El("img")->SetAttribute("src", "res:///x/aniProgressStop.gif");
    EXPECT_NE(BodyMarkup().find("<img id=\"img\" src=\"res:///x/aniProgressStop.gif\">"),
              std::string::npos);
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
    void OnClick(const std::string& id, bool answer) {
        El(id)->SetOnClick([this, id, answer] {
            order.push_back("element:" + id);
            return answer;
        });
    }

    Lines order;
    bool documentAnswer = true;
};

TEST_F(HeadlessBrowserClickTest, HandlersRunInnermostFirstAndKeepTheDefaultOnlyWhenAllAgree) {
    // A click on the text inside the button names the span; the button hears it bubble.
    OnClick("btn", true);
    EXPECT_TRUE(browser->Click(page, El("label")));
    EXPECT_EQ(order, (Lines{"element:btn", "document:label"}));

    for (const auto& [element, document] : {std::pair{true, false}, std::pair{false, true}}) {
        order.clear();
        OnClick("close", element);
        documentAnswer = document;
        EXPECT_FALSE(browser->Click(page, El("close")));
        // The document hears the click even when the element cancelled it.
        EXPECT_EQ(order.size(), 2u);
    }
    // Without handlers nothing cancels.
    browser->Document(page)->SetOnClick(nullptr);
    El("close")->SetOnClick(nullptr);
    EXPECT_TRUE(browser->Click(page, El("close")));
}

// A check box changes before the handlers run and back when they cancel; a disabled one does
// not change.
TEST_F(HeadlessBrowserClickTest, ACancelledClickPutsTheCheckBoxBack) {
    documentAnswer = false;
    EXPECT_FALSE(browser->Click(page, El("chk")));
    EXPECT_TRUE(El("chk")->Checked());
    documentAnswer = true;
    EXPECT_TRUE(browser->Click(page, El("off")));
    EXPECT_EQ(order, (Lines{"document:chk", "document:off"}));
}

// The host may end the control inside a click: no handler runs after that.
TEST_F(HeadlessBrowserClickTest, TheControlMayBeDestroyedInsideAClick) {
    OnClick("btn", true);
    const auto label = El("label");
    label->SetOnClick([this] { return browser.reset(), true; });
    EXPECT_TRUE(browser->Click(page, label));
    EXPECT_EQ(browser, nullptr);
    EXPECT_TRUE(order.empty());
}

TEST_F(HeadlessBrowserClickTest, ElementsOfAnEarlierPageCannotBeClicked) {
    auto old = El("btn");
    OnClick("btn", true);
    Load("<p id='btn'>new page</p>", "http://svc/next");
    EXPECT_FALSE(browser->Click(page, old));
    EXPECT_TRUE(order.empty());
    EXPECT_FALSE(browser->Click(page, nullptr));
}

TEST_F(HeadlessBrowserTest, KeysAlertsAndNewWindowsAskTheHost) {
    EXPECT_TRUE(browser->PressKey(page, 'A', 0));
    EXPECT_FALSE(browser->PressKey(page, 116, 0)); // F5
    EXPECT_FALSE(browser->PressKey(page, 'N', 2)); // Ctrl+N
    EXPECT_TRUE(browser->RaiseScriptAlert(page, "Hallo"));
    events.alertHandled = false;
    EXPECT_FALSE(browser->RaiseScriptAlert(page, "Nochmal"));
    EXPECT_TRUE(browser->RequestNewWindow(page, "http://svc/popup"));
    events.cancelNewWindow = true;
    EXPECT_FALSE(browser->RequestNewWindow(page, "http://svc/popup"));
    EXPECT_EQ(events.lines, (Lines{"key 1 65 0", "key 1 116 0", "key 1 78 2", "message 1 Hallo",
                                   "message 1 Nochmal", "newwindow 1 http://svc/popup",
                                   "newwindow 1 http://svc/popup"}));
    // A host whose handler throws lets the key through and keeps the window from opening.
    events.cancelNewWindow = false;
    events.throwing = true;
    EXPECT_TRUE(browser->PressKey(page, 116, 0));
    EXPECT_FALSE(browser->RequestNewWindow(page, "http://svc/popup"));
    // Without a host every key goes to the page.
    browser->SetEvents(nullptr);
    EXPECT_TRUE(browser->PressKey(page, 116, 0));
}

TEST_F(HeadlessBrowserTest, OnlyTheControlsOwnBrowsersAreShown) {
    EXPECT_FALSE(browser->ShowBrowser(page + 1));
    EXPECT_EQ(browser->VisibleBrowser(), 0);
    EXPECT_TRUE(browser->ShowBrowser(page));
    EXPECT_EQ(browser->VisibleBrowser(), page);
}

} // namespace
