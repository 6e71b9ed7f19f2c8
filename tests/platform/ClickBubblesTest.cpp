// A click on a child of an element (a text inside the close element) runs the element's own
// handler too, in every browser control.

#include "tests/platform/BrowserBackends.h"

namespace KDAutoUpdate {
namespace {

class ClickBubbles : public BrowserBackends {};

TEST_P(ClickBubbles, AClickOnAChildRunsTheHandlersOfItsAncestors) {
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

INSTANTIATE_TEST_SUITE_P(Both, ClickBubbles, BrowserBackends::Both(), BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
