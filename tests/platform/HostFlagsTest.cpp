// The host's flags shape the page in the WebEngine window: DIALOG (0x1) keeps its text from
// being selected, SCROLL_NO (0x8) takes its scroll bars.

#include "tests/platform/BrowserBackends.h"

namespace KDAutoUpdate {
namespace {

class HostFlags : public BrowserBackends {};

TEST_P(HostFlags, TheFlagsReachTheShownPage) {
    struct Case {
        long flags;
        const char* userSelect;
        const char* overflow;
    };
    for (const Case& c : {Case{0x40201, "none", "visible"}, Case{0x8, "auto", "hidden"}}) {
        control->SetHostUIFlags(c.flags);
        ASSERT_NE(Show("<html><body><p>Text</p></body></html>"), nullptr);
        EXPECT_EQ(Js("getComputedStyle(document.body).userSelect").toString(), c.userSelect);
        EXPECT_EQ(Js("getComputedStyle(document.documentElement).overflow").toString(), c.overflow);
    }
}

INSTANTIATE_TEST_SUITE_P(WebEngine, HostFlags, ::testing::Values(Backend::WebEngine),
                         BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
