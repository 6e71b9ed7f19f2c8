// Layout in twips: picMain keeps a 60-twip margin inside the window, the browser fills picMain
// with painting suspended while it moves, and a window too small for the margin stays usable.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class LayoutTest : public MessagesWindowTest {
protected:
    static void ExpectRect(const TwipRect& r, double left, double top, double width,
                           double height) {
        EXPECT_EQ(r.left, left);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(r.width, width);
        EXPECT_EQ(r.height, height);
    }
    // Outer size for a client area of width by height.
    bool ResizeClient(double width, double height) {
        return renderer.Resize("frmMessages", width + ScriptedView::kFrameWidth,
                               height + ScriptedView::kFrameHeight);
    }
};

TEST_F(LayoutTest, ResizingKeepsTheMarginAndMovesTheBrowserWithPaintingSuspended) {
    Open();
    const std::size_t locks = Browser()->LockCalls().size();
    ASSERT_TRUE(ResizeClient(9000, 7000));
    ExpectRect(View()->ControlRect("picMain"), 60, 60, 8880, 6880);
    ExpectRect(Browser()->Bounds(), 0, 0, 8880, 6880);
    const std::vector<bool> calls(Browser()->LockCalls().begin() + locks,
                                  Browser()->LockCalls().end());
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));

    ASSERT_TRUE(ResizeClient(120, 120));
    ExpectRect(View()->ControlRect("picMain"), 60, 60, 0, 0);
    ExpectRect(Browser()->Bounds(), 0, 0, 0, 0);
}

TEST_F(LayoutTest, AWindowTooSmallForTheMarginLeavesThePictureWhereItWasAndStaysUsable) {
    ShowPage(R"(<Messages><Message id="m" downloadPath="http://127.0.0.1/m"/></Messages>)");
    ASSERT_TRUE(ResizeClient(9000, 7000));
    const std::size_t moves = Browser()->Moves().size();

    ASSERT_TRUE(renderer.Resize("frmMessages", 100, 100));
    ExpectRect(View()->ControlRect("picMain"), 60, 60, 8880, 6880);
    EXPECT_EQ(Browser()->Moves().size(), moves);
    EXPECT_FALSE(Browser()->IsPaintingLocked());
    ASSERT_TRUE(ResizeClient(100, 100));
    ExpectRect(View()->ControlRect("picMain"), 60, 60, 8880, 6880);

    ASSERT_TRUE(ResizeClient(6000, 5000));
    ExpectRect(View()->ControlRect("picMain"), 60, 60, 5880, 4880);
    ExpectRect(Browser()->Bounds(), 0, 0, 5880, 4880);
}

} // namespace
} // namespace KDAutoUpdate
