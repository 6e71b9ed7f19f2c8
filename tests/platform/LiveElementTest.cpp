// Elements by id are those of the live page: what the page's script added is found and takes
// clicks, what it removed is gone.

#include "tests/platform/BrowserBackends.h"

namespace KDAutoUpdate {
namespace {

class LiveElement : public BrowserBackends {};

TEST_P(LiveElement, AnElementThePageScriptAddedIsFoundAndClickable) {
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

// The headless control runs no scripts.
INSTANTIATE_TEST_SUITE_P(WebEngine, LiveElement, ::testing::Values(Backend::WebEngine),
                         BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
