// Cases over the browser controls: the headless one and the one on Qt WebEngine (offscreen).

#include "tests/platform/BrowserBackends.h"

#include <vector>

namespace KDAutoUpdate {
namespace {

class BothBrowsers : public BrowserBackends {};
class WebEngineBrowser : public BrowserBackends {};

// A click on a child of an element (a text inside the close element) runs the element's own
// handler too.
TEST_P(BothBrowsers, AClickOnAChildRunsTheHandlersOfItsAncestors) {
    const HtmlDocumentPtr doc =
        Show(R"(<html><body><div id="cmdClose"><b><span id="inner">Schließen</span></b></div>
                <p id="other">Text</p></body></html>)");
    ASSERT_NE(doc, nullptr);
    int closes = 0;
    doc->GetElementById("cmdClose")->SetOnClick([&closes] { return ++closes, false; });
    Click(doc, "inner");
    EXPECT_EQ(closes, 1);
    Click(doc, "other");
    EXPECT_EQ(closes, 1);
}

// A page's texts are characters of its encoding, named by the HTTP header or by the page's meta
// element.
TEST_P(BothBrowsers, ALatinOnePageGivesTheRightNames) {
    const std::string name = "Gr\xF6\xDF"
                             "e"; // "Größe" in ISO-8859-1
    const std::pair<std::string, std::string> cases[] = {
        {"text/html; charset=ISO-8859-1", ""},
        {"text/html", R"(<meta charset="iso-8859-1">)"},
        {"text/html",
         R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">)"},
    };
    for (const auto& [contentType, meta] : cases) {
        const HtmlDocumentPtr doc =
            Show("<html><head>" + meta + "</head><body><xml id=\"KdAutoUpdate\"><Messages>" +
                     "<Message id=\"m1\" name=\"" + name +
                     "\"/></Messages></xml><p id=\"p\" title=\"" + name + "\">x</p></body></html>",
                 contentType);
        ASSERT_NE(doc, nullptr);
        const std::string island =
            doc->GetElementById("KdAutoUpdate")->RawSource().value_or(std::string());
        EXPECT_NE(island.find("name=\"Größe\""), std::string::npos) << contentType << meta;
        EXPECT_EQ(doc->GetElementById("p")->GetAttribute("title"), "Größe") << contentType << meta;
        if (GetParam() == Backend::WebEngine) {
            EXPECT_EQ(Js("document.getElementById('p').title").toString(), "Größe");
        }
    }
}

// A check box changes before the handlers run: they see its new state, and when they cancel
// the click it goes back.
TEST_P(BothBrowsers, ACancelledClickPutsTheCheckBoxBack) {
    const HtmlDocumentPtr doc = Show(R"(<html><body><input type="checkbox" id="feat">
        <input type="checkbox" id="off" disabled></body></html>)");
    ASSERT_NE(doc, nullptr);
    const HtmlElementPtr feat = doc->GetElementById("feat");
    std::vector<bool> seen;
    feat->SetOnClick([&seen, box = feat.get()] { return seen.push_back(box->Checked()), true; });
    for (const bool keep : {false, true}) {
        Click(doc, "feat", keep);
        EXPECT_EQ(feat->Checked(), keep);
        if (GetParam() == Backend::WebEngine) {
            // The page's own state follows a moment later.
            const QString checked = "document.getElementById('feat').checked";
            for (int i = 0; i < 50 && Js(checked).toBool() != keep; ++i) {
            }
            EXPECT_EQ(Js(checked).toBool(), keep);
        }
    }
    EXPECT_EQ(seen, (std::vector<bool>{true, true}));
    // A disabled box does not change (the page never sends its click).
    if (GetParam() == Backend::Headless) {
        Click(doc, "off", true);
        EXPECT_FALSE(doc->GetElementById("off")->Checked());
    }
}

// Only the last navigation completes, whether the one before was held by the server or not yet
// answered.
TEST_P(BothBrowsers, ANewerNavigationSupersedesThePendingOnes) {
    server.SetFor("/held", {.body = "<p id=\"held\">a</p>",
                            .contentLength = 100,
                            .holdAfter = 0,
                            .contentType = "text/html"});
    server.SetFor("/first", {.body = "<p id=\"first\">b</p>", .contentType = "text/html"});
    control->Navigate(browser, server.Url("/held"));
    ASSERT_TRUE(loop.RunUntil([&] { return !server.Paths().empty(); }, 30000));
    control->Navigate(browser, server.Url("/first"));
    const HtmlDocumentPtr doc = Show("<html><body><p id=\"last\">c</p></body></html>");
    ASSERT_NE(doc, nullptr);
    EXPECT_NE(doc->GetElementById("last"), nullptr);
    EXPECT_EQ(loads, std::vector<std::string>{"complete " + server.Url("/InitUpdate.aspx")});
}

// A redirected page is reported and shown at the address it came from.
TEST_P(BothBrowsers, ARedirectedPageIsReportedAtItsFinalAddress) {
    server.SetFor("/moved", {.status = 302, .location = server.Url("/InitUpdate.aspx")});
    server.Set({.body = "<p id=\"p\">here</p>", .contentType = "text/html"});
    control->Navigate(browser, server.Url("/moved"));
    ASSERT_TRUE(loop.RunUntil([&] { return !loads.empty(); }, 30000));
    EXPECT_EQ(loads, std::vector<std::string>{"complete " + server.Url("/InitUpdate.aspx")});
    ASSERT_NE(control->Document(browser), nullptr);
    EXPECT_EQ(control->Document(browser)->Url(), server.Url("/InitUpdate.aspx"));
}

// The window that owns the control may navigate again or end the control inside its events: a
// completed load, a click.
TEST_P(BothBrowsers, TheControlMayBeDestroyedInsideItsOwnEvents) {
    onLoad = [this] {
        if (loads.size() == 1)
            control->Navigate(browser, server.Url("/again"));
        else
            control.reset();
    };
    Show("<html><body><p>x</p></body></html>");
    ASSERT_TRUE(loop.RunUntil([&] { return control == nullptr; }, 30000));
    EXPECT_EQ(loads, (std::vector<std::string>{"complete " + server.Url("/InitUpdate.aspx"),
                                               "complete " + server.Url("/again")}));
    onLoad = nullptr;
    TearDown();
    SetUp();
    const HtmlDocumentPtr doc =
        Show(R"(<html><body><input type="checkbox" id="feat"></body></html>)");
    ASSERT_NE(doc, nullptr);
    const HtmlElementPtr feat = doc->GetElementById("feat");
    feat->SetOnClick([this] { return control.reset(), true; });
    const int documentHandlers = Click(doc, "feat", true);
    if (GetParam() == Backend::Headless) {
        EXPECT_EQ(documentHandlers, 0) << "handlers after the control's end";
    }
    EXPECT_EQ(control, nullptr);
    // The document stays usable, and the handler kept the click.
    feat->SetAttribute("title", "weg");
    EXPECT_EQ(feat->GetAttribute("title"), "weg");
    EXPECT_TRUE(feat->Checked());
}

// The host's flags shape the page: DIALOG (0x1) keeps its text from being selected, SCROLL_NO
// (0x8) takes its scroll bars.
TEST_P(WebEngineBrowser, TheHostFlagsReachTheShownPage) {
    for (const auto& [flags, userSelect, overflow] :
         {std::tuple{0x40201L, "none", "visible"}, std::tuple{0x8L, "auto", "hidden"}}) {
        control->SetHostUIFlags(flags);
        ASSERT_NE(Show("<html><body><p>Text</p></body></html>"), nullptr);
        EXPECT_EQ(Js("getComputedStyle(document.body).userSelect").toString(), userSelect);
        EXPECT_EQ(Js("getComputedStyle(document.documentElement).overflow").toString(), overflow);
    }
}

// Elements are those of the live page: what the page's script added is found and takes clicks,
// what it removed is gone, and a click reads the element as the page has it when clicked, not
// as the source had it. (The headless control runs no scripts.)
TEST_P(WebEngineBrowser, ElementsAreThoseOfTheLivePage) {
    const HtmlDocumentPtr doc = Show(R"(<html><body><p id="gone">alt</p><button id="btn">B</button>
        <p><em auButtonType="actionbutton" forMessage="first">A</em></p><script>
        var close = document.createElement('button');
        close.id = 'cmdClose';
        document.body.appendChild(close);
        document.getElementById('gone').remove();
    </script></body></html>)");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetElementById("gone"), nullptr);
    const HtmlElementPtr close = doc->GetElementById("cmdClose");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->TagName(), "BUTTON");
    int closes = 0;
    close->SetOnClick([&closes] { return ++closes, false; });
    Click(doc, "cmdClose");
    EXPECT_EQ(closes, 1);

    std::vector<std::string> seen;
    doc->SetOnClick([&](const HtmlElementPtr& source) {
        seen.push_back(source->GetAttribute("forMessage").value_or("-"));
        return false;
    });
    const auto click = [&](const QString& selector) {
        const std::size_t before = seen.size();
        Js("document.querySelector('" + selector + "').click()");
        return loop.RunUntil([&] { return seen.size() > before; }, 30000);
    };
    // An attribute the script set on an element of the source.
    Js("document.getElementById('btn').setAttribute('forMessage', 'm2')");
    ASSERT_TRUE(click("#btn"));
    // An element the script put where the source had another one of the same kind.
    Js("var p = document.createElement('p'); p.innerHTML = "
       "'<em auButtonType=\"actionbutton\" forMessage=\"new\">N</em>'; "
       "document.body.insertBefore(p, document.querySelector('p'))");
    ASSERT_TRUE(click("em[forMessage=new]"));
    // The element of the source, now one place further on.
    ASSERT_TRUE(click("em[forMessage=first]"));
    EXPECT_EQ(seen, (std::vector<std::string>{"m2", "new", "first"}));
}

INSTANTIATE_TEST_SUITE_P(Both, BothBrowsers, BrowserBackends::Both(), BrowserBackends::Name);
INSTANTIATE_TEST_SUITE_P(WebEngine, WebEngineBrowser, ::testing::Values(Backend::WebEngine),
                         BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
