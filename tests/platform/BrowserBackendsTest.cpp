// Cases over the browser controls: the headless one and the one on Qt WebEngine (offscreen).

#include "tests/platform/BrowserBackends.h"

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

// Elements by id are those of the live page: what the page's script added is found and takes
// clicks, what it removed is gone. (The headless control runs no scripts.)
TEST_P(WebEngineBrowser, AnElementThePageScriptAddedIsFoundAndClickable) {
    const HtmlDocumentPtr doc = Show(R"(<html><body><p id="gone">alt</p><script>
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
}

INSTANTIATE_TEST_SUITE_P(Both, BothBrowsers, BrowserBackends::Both(), BrowserBackends::Name);
INSTANTIATE_TEST_SUITE_P(WebEngine, WebEngineBrowser, ::testing::Values(Backend::WebEngine),
                         BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
