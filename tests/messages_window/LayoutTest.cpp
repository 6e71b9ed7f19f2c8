// Layout in twips: picMain keeps a 60-twip margin inside the window, the browser fills picMain
// with painting suspended while it moves, and a window too small for the margin stays usable.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class LayoutTest : public MessagesWindowTest {
protected:
    // picMain at the margin and the browser filling it.
    void ExpectLayout(double width, double height) {
        const TwipRect pic = View()->ControlRect("picMain"), browser = Browser()->Bounds();
        EXPECT_EQ((std::vector{pic.left, pic.top, pic.width, pic.height}),
                  (std::vector<double>{60, 60, width, height}));
        EXPECT_EQ((std::vector{browser.left, browser.top, browser.width, browser.height}),
                  (std::vector<double>{0, 0, width, height}));
    }
    // Outer size for a client area of width by height.
    bool ResizeClient(double width, double height) {
        return renderer.Resize("frmMessages", width + ScriptedView::kFrameWidth,
                               height + ScriptedView::kFrameHeight);
    }
};

TEST_F(LayoutTest, ResizingKeepsTheMarginAndMovesTheBrowserWithPaintingSuspended) {
    ShowPage(R"(<Messages><Message id="m" downloadPath="http://127.0.0.1/m"/></Messages>)");
    const std::size_t locks = Browser()->LockCalls().size();
    ASSERT_TRUE(ResizeClient(9000, 7000));
    ExpectLayout(8880, 6880);
    const std::vector<bool> calls(Browser()->LockCalls().begin() + locks,
                                  Browser()->LockCalls().end());
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));

    // Too small for the margin: the picture stays where it was and the window stays usable.
    const std::size_t moves = Browser()->Moves().size();
    ASSERT_TRUE(renderer.Resize("frmMessages", 100, 100));
    ExpectLayout(8880, 6880);
    EXPECT_EQ(Browser()->Moves().size(), moves);
    EXPECT_FALSE(Browser()->IsPaintingLocked());
    ASSERT_TRUE(ResizeClient(100, 100));
    ExpectLayout(8880, 6880);
    ASSERT_TRUE(ResizeClient(120, 120));
    ExpectLayout(0, 0);
    ASSERT_TRUE(ResizeClient(6000, 5000));
    ExpectLayout(5880, 4880);
}

} // namespace
} // namespace KDAutoUpdate
