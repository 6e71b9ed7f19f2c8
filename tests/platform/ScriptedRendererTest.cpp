// The scripted renderer acts as the user on in-memory windows: these tests drive it through
// its user actions and the IFormView a form sees, on the virtual clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/console/ScriptedRenderer.h"
#include "tests/support/RecordingForm.h"
#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {
namespace {

class ObserverLog : public ScriptedRenderer::Observer {
public:
    void FormShown(ScriptedView& view, bool modal) override {
        log.push_back("shown " + view.Name() + (modal ? " modal" : " modeless"));
    }
    void FormHidden(ScriptedView& view) override { log.push_back("hidden " + view.Name()); }
    void FormUnloaded(const std::string& name) override { log.push_back("unloaded " + name); }
    void ModalTimedOut(const std::string& name) override { log.push_back("timed out " + name); }
    std::vector<std::string> log;
};

// A dialog with a default and a cancel button in a strip and a check box.
FormDef TestDialog(const std::string& name = "dlgTest", bool buttons = true) {
    FormDef def;
    def.name = name;
    def.controls = {
        {"chkDontShowAgain", ControlKind::CheckBox, 240, 800, 5000, 195, "&Nicht mehr anzeigen"},
        {"fraButtons", ControlKind::ButtonStrip, 0, 2000, 6000, 700},
    };
    if (buttons)
        def.controls.insert(def.controls.end(),
                            {{"cmdOK", ControlKind::Button, 3000, 200, 1200, 375, "&OK", true,
                              false, -1, "fraButtons"},
                             {"cmdCancel", ControlKind::Button, 4400, 200, 1200, 375, "&Abbrechen",
                              false, true, -1, "fraButtons"}});
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
    RecordingForm events;
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

    Make(TestDialog("dlgPlain", false)).ShowModeless(0);
    EXPECT_FALSE(renderer.PressEnter("dlgPlain"));
    EXPECT_FALSE(renderer.PressEscape("dlgPlain"));
}

TEST_F(ScriptedRendererTest, DestroyedViewsAreGoneAndSilent) {
    ScriptedView& first = Make();
    ScriptedView& second = Make(TestDialog("dlgOther"));
    ScriptedView& newer = Make();
    EXPECT_EQ(renderer.Find("dlgTest"), &newer) << "the newest view of a name is found";

    newer.ShowModeless(0);
    newer.Destroy();
    newer.Destroy();
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
    events.onClick = [&](const std::string& control) {
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

TEST_F(ScriptedRendererTest, AnUnansweredModalFormGetsItsCloseBoxThenOneMorePeriod) {
    renderer.SetModalTimeoutMs(5000);
    ScriptedView& willing = Make(TestDialog("dlgWilling"));
    events.onClose = [&] { willing.Hide(); };
    willing.ShowModal(0);
    EXPECT_FALSE(willing.IsVisible());
    EXPECT_EQ(loop.NowMs(), 5000);
    EXPECT_EQ(observer.log,
              (std::vector<std::string>{"shown dlgWilling modal", "timed out dlgWilling",
                                        "hidden dlgWilling"}));

    // One that refuses the close box is hidden after the second period.
    events.onClose = nullptr;
    ScriptedView& stubborn = Make();
    stubborn.ShowModal(0);
    EXPECT_FALSE(stubborn.IsVisible());
    EXPECT_EQ(loop.NowMs(), 15000);

    // One that hides late in the second period is left to hide itself.
    ScriptedView& slow = Make(TestDialog("dlgSlow"));
    events.onClose = [&] { loop.PostAfter(2000, [&] { slow.Hide(); }); };
    slow.ShowModal(0);
    EXPECT_FALSE(slow.IsVisible());
    EXPECT_EQ(loop.NowMs(), 15000 + 5000 + 2000);
    EXPECT_EQ(events.closeRequests, 3);
}

TEST_F(ScriptedRendererTest, FormUnloadedAndFreedDuringItsModalWait) {
    ScriptedView& view = Make();
    std::unique_ptr<IFormView> owned = std::move(views.back());
    views.pop_back();
    events.onClick = [&](const std::string&) {
        owned->Destroy();
        owned.reset();
    };
    renderer.QueueModalAction("dlgTest",
                              [&](ScriptedView&) { renderer.Click("dlgTest", "cmdOK"); });
    view.ShowModal(0);
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(loop.NowMs(), 0);
    EXPECT_EQ(observer.log, (std::vector<std::string>{"shown dlgTest modal", "unloaded dlgTest"}));
}

} // namespace
} // namespace KDAutoUpdate
