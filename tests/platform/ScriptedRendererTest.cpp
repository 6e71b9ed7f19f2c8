// The scripted renderer acts as the user on in-memory windows: these tests drive it through
// its user actions and the IFormView a form sees, on the virtual clock.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/console/ScriptedRenderer.h"
#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {
namespace {

// What a form would receive, with optional reactions.
class EventRecorder : public IFormEvents {
public:
    void OnClick(const std::string& control, int index) override {
        clicks.push_back(index < 0 ? control : control + "(" + std::to_string(index) + ")");
        if (onClick)
            onClick(control, index);
    }
    void OnCloseRequested(UnloadMode) override {
        ++closeRequests;
        if (onClose)
            onClose();
    }
    void OnResize() override { ++resizes; }
    void OnControlResize(const std::string& control) override { controlResizes.push_back(control); }

    std::vector<std::string> clicks;
    int closeRequests = 0;
    int resizes = 0;
    std::vector<std::string> controlResizes;
    std::function<void(const std::string&, int)> onClick;
    std::function<void()> onClose;
};

class ObserverLog : public ScriptedRenderer::Observer {
public:
    void FormShown(ScriptedView& view, bool modal) override {
        log.push_back("shown " + view.Name() + (modal ? " modal" : " modeless"));
    }
    void FormHidden(ScriptedView& view) override { log.push_back("hidden " + view.Name()); }
    void FormUnloaded(const std::string& formName) override {
        log.push_back("unloaded " + formName);
    }
    void MessageBoxShown(const std::string& text, MsgBoxButtons, MsgBoxIcon,
                         const std::string& title, MsgBoxResult answer) override {
        log.push_back("msgbox " + title + ": " + text + " -> " +
                      std::to_string(static_cast<int>(answer)));
    }
    void ModalTimedOut(const std::string& formName) override {
        log.push_back("timed out " + formName);
    }
    std::vector<std::string> log;
};

// A dialog with every kind of control the dialogs of the agent use.
FormDef TestDialog(const std::string& name = "dlgTest") {
    FormDef def;
    def.name = name;
    def.caption = "Test";
    def.clientWidth = 6000;
    def.clientHeight = 2700;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"lblInfo", ControlKind::Label, 240, 240, 5000, 495, "Wie möchten Sie fortfahren?"},
        {"chkDontShowAgain", ControlKind::CheckBox, 240, 800, 5000, 195, "&Nicht mehr anzeigen"},
        {"optAction", ControlKind::OptionButton, 240, 1000, 5000, 255, "Jetzt", false, false, 0, "",
         1},
        {"optAction", ControlKind::OptionButton, 240, 1300, 5000, 255, "Später", false, false, 1},
        {"optAction", ControlKind::OptionButton, 240, 1600, 5000, 255, "Nie", false, false, 2},
        {"picMain", ControlKind::PictureBox, 60, 60, 3000, 600},
        {"fraButtons", ControlKind::ButtonStrip, 0, 2000, 6000, 700},
        {"cmdOK", ControlKind::Button, 3000, 200, 1200, 375, "&OK", true, false, -1, "fraButtons"},
        {"cmdCancel", ControlKind::Button, 4400, 200, 1200, 375, "&Abbrechen", false, true, -1,
         "fraButtons"},
        {"ctlDownload", ControlKind::Invisible},
    };
    return def;
}

class ScriptedRendererTest : public ::testing::Test {
protected:
    ScriptedRendererTest() { renderer.SetObserver(&observer); }

    ScriptedView& Make(const FormDef& def = TestDialog()) {
        views.push_back(renderer.CreateView(def, events));
        return static_cast<ScriptedView&>(*views.back());
    }

    VirtualEventLoop loop;
    ScriptedRenderer renderer{loop};
    ObserverLog observer;
    EventRecorder events;
    std::vector<std::unique_ptr<IFormView>> views;
};

TEST_F(ScriptedRendererTest, EnterAndEscapePressDefaultAndCancelButtons_CloseBoxAsksTheForm) {
    Make().ShowModeless(0);
    EXPECT_TRUE(renderer.PressEnter("dlgTest"));
    EXPECT_TRUE(renderer.PressEscape("dlgTest"));
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"cmdOK", "cmdCancel"}));

    // The view never closes itself: the form decides what the close box does.
    EXPECT_TRUE(renderer.Close("dlgTest"));
    EXPECT_EQ(events.closeRequests, 1);
    EXPECT_TRUE(renderer.Find("dlgTest")->IsVisible());

    FormDef plain = TestDialog("dlgPlain");
    plain.controls.erase(plain.controls.begin() + 7, plain.controls.end());
    Make(plain).ShowModeless(0);
    EXPECT_FALSE(renderer.PressEnter("dlgPlain"));
    EXPECT_FALSE(renderer.PressEscape("dlgPlain"));
}

TEST_F(ScriptedRendererTest, DestroyedViewsAreGoneAndSilent) {
    ScriptedView& first = Make();
    ScriptedView& second = Make(TestDialog("dlgOther"));
    ScriptedView& newer = Make();
    EXPECT_EQ(renderer.Find("dlgTest"), &newer) << "the newest view of a name is found";
    EXPECT_EQ(renderer.Views(), (std::vector<ScriptedView*>{&first, &second, &newer}));

    newer.ShowModeless(0);
    newer.Destroy();
    newer.Destroy();
    EXPECT_TRUE(newer.IsDestroyed());
    EXPECT_FALSE(newer.IsVisible());
    EXPECT_EQ(renderer.Find("dlgTest"), &first);
    first.Destroy();
    EXPECT_EQ(renderer.Find("dlgTest"), nullptr);
    EXPECT_FALSE(renderer.Click("dlgTest", "cmdOK"));
    EXPECT_EQ(renderer.Views(), std::vector<ScriptedView*>{&second});

    // A destroyed view shows nothing and reports nothing more.
    newer.ShowModeless(0);
    newer.ShowModal(0);
    EXPECT_FALSE(newer.IsVisible());
    EXPECT_EQ(observer.log, (std::vector<std::string>{"shown dlgTest modeless", "unloaded dlgTest",
                                                      "unloaded dlgTest"}));
}

TEST_F(ScriptedRendererTest, ModalShowingRunsQueuedActionsAndReturnsWhenHidden) {
    ScriptedView& view = Make();
    events.onClick = [&](const std::string& control, int) {
        if (control == "cmdOK")
            view.Hide();
    };
    bool sawModal = false;
    renderer.QueueModalAction("dlgTest", [&](ScriptedView& v) {
        sawModal = v.IsModal();
        renderer.SetChecked("dlgTest", "chkDontShowAgain", true);
    });
    renderer.QueueModalAction("dlgTest", [&](ScriptedView&) { renderer.PressEnter("dlgTest"); });
    EXPECT_TRUE(renderer.HasQueuedActions("dlgTest"));
    EXPECT_FALSE(renderer.HasQueuedActions("dlgOther"));

    view.ShowModal(0x77);
    EXPECT_TRUE(sawModal);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_FALSE(view.IsModal());
    EXPECT_EQ(view.Owner(), 0x77);
    EXPECT_EQ(view.Value("chkDontShowAgain", -1), 1);
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"chkDontShowAgain", "cmdOK"}));
    EXPECT_EQ(loop.NowMs(), 0) << "answers take no time";
    EXPECT_FALSE(renderer.HasQueuedActions("dlgTest"));
    EXPECT_EQ(observer.log, (std::vector<std::string>{"shown dlgTest modal", "hidden dlgTest"}));
}

TEST_F(ScriptedRendererTest, UnansweredModalFormIsClosedWithItsCloseBoxAfterTheTimeout) {
    renderer.SetModalTimeoutMs(5000);
    ScriptedView& view = Make();
    events.onClose = [&] { view.Hide(); };
    view.ShowModal(0);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_EQ(loop.NowMs(), 5000);
    EXPECT_EQ(events.closeRequests, 1);
    EXPECT_EQ(observer.log, (std::vector<std::string>{"shown dlgTest modal", "timed out dlgTest",
                                                      "hidden dlgTest"}));
}

TEST_F(ScriptedRendererTest, ModalFormThatRefusesTheCloseBoxGetsOneMorePeriodThenHides) {
    renderer.SetModalTimeoutMs(5000);
    ScriptedView& view = Make();
    view.ShowModal(0);
    EXPECT_FALSE(view.IsVisible());
    EXPECT_EQ(loop.NowMs(), 10000);
    EXPECT_EQ(events.closeRequests, 1);

    // One that hides late in the second period is left to hide itself.
    ScriptedView& slow = Make(TestDialog("dlgSlow"));
    events.onClose = [&] { loop.PostAfter(2000, [&] { slow.Hide(); }); };
    slow.ShowModal(0);
    EXPECT_FALSE(slow.IsVisible());
    EXPECT_EQ(loop.NowMs(), 10000 + 5000 + 2000);
}

TEST_F(ScriptedRendererTest, FormUnloadedAndFreedDuringItsModalWait) {
    ScriptedView& view = Make();
    std::unique_ptr<IFormView> owned = std::move(views.back());
    views.pop_back();
    events.onClick = [&](const std::string&, int) {
        owned->Destroy();
        owned.reset();
    };
    renderer.QueueModalAction("dlgTest",
                              [&](ScriptedView&) { renderer.Click("dlgTest", "cmdOK"); });
    view.ShowModal(0);
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(renderer.Find("dlgTest"), nullptr);
    EXPECT_EQ(loop.NowMs(), 0);
    EXPECT_EQ(observer.log, (std::vector<std::string>{"shown dlgTest modal", "unloaded dlgTest"}));
}

TEST_F(ScriptedRendererTest, NestedModalFormsAnswerInTurn) {
    ScriptedView& outer = Make(TestDialog("dlgOuter"));
    ScriptedView& inner = Make(TestDialog("dlgInner"));
    events.onClick = [&](const std::string& control, int) {
        if (control == "cmdOK" && inner.IsVisible())
            inner.Hide();
        else if (control == "cmdOK")
            inner.ShowModal(outer.Handle());
        else if (control == "cmdCancel")
            outer.Hide();
    };
    renderer.QueueModalAction("dlgOuter", [&](ScriptedView&) { renderer.PressEnter("dlgOuter"); });
    renderer.QueueModalAction("dlgOuter", [&](ScriptedView&) { renderer.PressEscape("dlgOuter"); });
    renderer.QueueModalAction("dlgInner", [&](ScriptedView&) { renderer.PressEnter("dlgInner"); });
    outer.ShowModal(0);
    EXPECT_FALSE(outer.IsVisible());
    EXPECT_EQ(inner.Owner(), outer.Handle());
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"cmdOK", "cmdOK", "cmdCancel"}));
    EXPECT_EQ(loop.NowMs(), 0);
}

TEST_F(ScriptedRendererTest, MessageBoxesTakeQueuedAnswersElseTheFirstButton) {
    EXPECT_EQ(renderer.MsgBox("a", MsgBoxButtons::OK, MsgBoxIcon::Critical, ""), MsgBoxResult::OK);
    EXPECT_EQ(renderer.MsgBox("b", MsgBoxButtons::YesNo, MsgBoxIcon::Question, ""),
              MsgBoxResult::Yes);

    renderer.QueueMsgBoxAnswer(MsgBoxResult::No);
    renderer.QueueMsgBoxAnswer(MsgBoxResult::Cancel);
    renderer.QueueMsgBoxAnswer(MsgBoxResult::Cancel);
    EXPECT_EQ(renderer.QueuedMsgBoxAnswers(), 3u);
    EXPECT_EQ(renderer.MsgBox("c", MsgBoxButtons::YesNo, MsgBoxIcon::Question, "Frage"),
              MsgBoxResult::No);
    EXPECT_EQ(renderer.MsgBox("d", MsgBoxButtons::YesNoCancel, MsgBoxIcon::None, ""),
              MsgBoxResult::Cancel);
    // A box without Cancel cannot answer Cancel: the answer is used up on its first button.
    EXPECT_EQ(renderer.MsgBox("e", MsgBoxButtons::YesNo, MsgBoxIcon::None, ""), MsgBoxResult::Yes);
    EXPECT_EQ(renderer.QueuedMsgBoxAnswers(), 0u);
    EXPECT_EQ(renderer.MsgBox("f", MsgBoxButtons::OKCancel, MsgBoxIcon::None, ""),
              MsgBoxResult::OK);

    EXPECT_EQ(observer.log, (std::vector<std::string>{
                                "msgbox Keldra Update Service: a -> 1",
                                "msgbox Keldra Update Service: b -> 6",
                                "msgbox Frage: c -> 7",
                                "msgbox Keldra Update Service: d -> 2",
                                "msgbox Keldra Update Service: e -> 6",
                                "msgbox Keldra Update Service: f -> 1",
                            }));
}

TEST_F(ScriptedRendererTest, WindowGeometry) {
    renderer.SetScreen({0, 0, 20000, 12000});
    ScriptedView& view = Make();
    const TwipRect bounds = view.Bounds();
    EXPECT_EQ(bounds.width, 6000 + ScriptedView::kFrameWidth);
    EXPECT_EQ(bounds.height, 2700 + ScriptedView::kFrameHeight);
    EXPECT_EQ(bounds.left, (20000 - bounds.width) / 2);
    EXPECT_EQ(bounds.top, (12000 - bounds.height) / 2);
    EXPECT_EQ(view.ClientSize().width, 6000);
    EXPECT_EQ(view.ClientSize().height, 2700);
    EXPECT_EQ(renderer.Screen().width, 20000);

    // The first showing lays the window out; showing it again does not.
    view.ShowModeless(0);
    view.ShowModeless(0);
    EXPECT_EQ(events.resizes, 1);

    // Moving without a new size is no resize; a new size is.
    view.Move({100, 200, bounds.width, bounds.height});
    EXPECT_EQ(events.resizes, 1);
    view.Move({100, 200, 3000, 3000});
    EXPECT_EQ(events.resizes, 2);
    EXPECT_EQ(view.Bounds().left, 100);
    view.Move({0, 0, -1, 3000});
    EXPECT_EQ(view.Bounds().width, 3000);

    // A fixed dialog cannot be dragged to another size; picture boxes report their own resize.
    EXPECT_FALSE(renderer.Resize("dlgTest", 9000, 9000));
    view.MoveControl("picMain", {60, 60, 3000, 600});
    view.MoveControl("lblInfo", {0, 0, 100, 100});
    view.MoveControl("picMain", {60, 60, 2000, 500});
    view.MoveControl("picMain", {60, 60, -60, 500});
    EXPECT_EQ(events.controlResizes, std::vector<std::string>{"picMain"});
    EXPECT_EQ(view.ControlClientSize("picMain").width, 2000);
}

TEST_F(ScriptedRendererTest, PlacementHandlesAndOwners) {
    renderer.SetScreen({0, 0, 30000, 18000});
    FormDef cascaded = TestDialog("dlgA");
    cascaded.startUp = StartUpPosition::WindowsDefault;
    ScriptedView& a = Make(cascaded);
    cascaded.name = "dlgB";
    ScriptedView& b = Make(cascaded);
    EXPECT_GT(b.Bounds().left, a.Bounds().left) << "new windows cascade";
    EXPECT_GT(b.Bounds().top, a.Bounds().top);

    FormDef centred = TestDialog("dlgC");
    centred.startUp = StartUpPosition::CenterOwner;
    centred.clientWidth = 1000;
    centred.clientHeight = 500;
    ScriptedView& c = Make(centred);
    a.Move({1000, 2000, 8000, 6000});
    c.ShowModeless(a.Handle());
    EXPECT_EQ(c.Bounds().left, 1000 + (8000 - c.Bounds().width) / 2);
    EXPECT_EQ(c.Bounds().top, 2000 + (6000 - c.Bounds().height) / 2);
    EXPECT_EQ(renderer.FindByHandle(a.Handle()), &a);

    EXPECT_NE(a.Handle(), 0);
    EXPECT_NE(a.Handle(), b.Handle());
    EXPECT_NE(b.Handle(), c.Handle());
    EXPECT_EQ(c.Owner(), a.Handle());
    EXPECT_EQ(c.SetOwner(b.Handle()), a.Handle());
    EXPECT_EQ(c.SetOwner(0), b.Handle());
    EXPECT_EQ(c.Owner(), 0);
}

} // namespace
} // namespace KDAutoUpdate
