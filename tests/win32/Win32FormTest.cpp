// The Win32 renderer with real windows (under a virtual display): twips at the screen's DPI,
// the dialog keyboard, the close box that only asks, the modal loop.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32FormRenderer.h"
#include "platform/win32/Win32FormView.h"

namespace KDAutoUpdate {
namespace {

struct Recorder : IFormEvents {
    std::vector<std::string> log;
    void OnClick(const std::string& control, int index) override {
        log.push_back(control + (index >= 0 ? "(" + std::to_string(index) + ")" : ""));
    }
    void OnCloseRequested(UnloadMode mode) override {
        log.push_back("close " + std::to_string(static_cast<int>(mode)));
    }
    void OnResize() override {}
    void OnControlResize(const std::string& control) override { log.push_back("size " + control); }
};

FormDef Dialog() {
    FormDef def;
    def.name = "dlgTest";
    def.caption = "Test";
    def.clientWidth = 4800;
    def.clientHeight = 1440;
    def.controls = {
        {"fraButtons", ControlKind::ButtonStrip, 0, 900, 4800, 540},
        {"cmdYes", ControlKind::Button, 120, 60, 1200, 360, "&Ja", true, false, -1, "fraButtons"},
        {"cmdNo", ControlKind::Button, 1440, 60, 1200, 360, "&Nein", false, true, -1, "fraButtons"},
        {"chkAsk", ControlKind::CheckBox, 120, 120, 3000, 300, "Nicht mehr fragen"},
        {"optPick", ControlKind::OptionButton, 120, 480, 1200, 300, "Eins", false, false, 0},
        {"prgDone", ControlKind::ProgressBar, 1440, 480, 3000, 300},
    };
    return def;
}

TEST(Win32Forms, TwipsBecomePixelsAtTheScreensDpiAndControlsSitInTheirStrip) {
    Win32FormRenderer renderer;
    Recorder events;
    auto view = renderer.CreateView(Dialog(), events);
    auto& form = static_cast<Win32FormView&>(*view);
    const int dpi = renderer.Dpi();
    RECT client;
    GetClientRect(reinterpret_cast<HWND>(view->Handle()), &client);
    EXPECT_EQ(client.right, MulDiv(4800, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(1440, dpi, 1440));
    RECT no;
    GetWindowRect(form.Control("cmdNo", -1), &no);
    POINT corner{no.left, no.top};
    ScreenToClient(reinterpret_cast<HWND>(view->Handle()), &corner);
    EXPECT_EQ(corner.x, MulDiv(1440, dpi, 1440));
    EXPECT_EQ(corner.y, MulDiv(960, dpi, 1440));
    EXPECT_NEAR(view->ClientSize().width, 4800, 1440.0 / dpi);
    // Above its strip, where a click lands on it.
    POINT inside{corner.x + 2, corner.y + 2};
    EXPECT_EQ(ChildWindowFromPointEx(reinterpret_cast<HWND>(view->Handle()), inside, CWP_ALL),
              form.Control("cmdNo", -1));

    view->MoveControl("fraButtons", {0, 720, 4800, 720});
    GetWindowRect(form.Control("cmdNo", -1), &no);
    corner = {no.left, no.top};
    ScreenToClient(reinterpret_cast<HWND>(view->Handle()), &corner);
    EXPECT_EQ(corner.y, MulDiv(780, dpi, 1440));
    EXPECT_EQ(events.log, std::vector<std::string>{"size fraButtons"});
    view->Destroy();
}

TEST(Win32Forms, KeyboardClicksAndTheCloseBoxReachTheFormDuringAModalShow) {
    Win32EventLoop loop;
    Win32FormRenderer renderer;
    Recorder events;
    auto view = renderer.CreateView(Dialog(), events);
    auto& form = static_cast<Win32FormView&>(*view);
    HWND window = reinterpret_cast<HWND>(view->Handle());
    HWND check = form.Control("chkAsk", -1);
    view->SetValue("prgDone", -1, 42);
    EXPECT_EQ(view->Value("prgDone", -1), 42);
    loop.Post([&] {
        PostMessageW(check, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(check, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(check, WM_SYSCHAR, 'n', 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
        SendMessageW(check, BM_CLICK, 0, 0);
        SendMessageW(form.Control("optPick", 0), BM_CLICK, 0, 0);
        loop.Post([&] { view->Hide(); });
    });
    view->ShowModal(0);
    EXPECT_EQ(events.log, (std::vector<std::string>{"chkAsk", "optPick(0)", "cmdYes", "cmdNo",
                                                    "cmdNo", "close 0"}));
    EXPECT_TRUE(IsWindow(window)); // the close box only asked
    EXPECT_EQ(view->Value("chkAsk", -1), 1);
    EXPECT_EQ(view->Value("optPick", 0), 1);
    view->Destroy();
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
} // namespace KDAutoUpdate
