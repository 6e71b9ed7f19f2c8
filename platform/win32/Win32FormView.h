#pragma once
// One form as a Win32 window: a top-level window of the renderer's class with one child
// window per control, all children of the form itself (a control inside a strip or picture
// box is placed relative to it and drawn above it), so every notification reaches the form.
//
// Sizes follow the screen's DPI (twips * dpi / 1440); the font is the definition's (Tahoma
// 8.25 pt). The message loop gives the window the dialog keyboard: Tab, access keys, Enter
// clicks the default button (or a focused one), Escape the cancel button. The close box and
// the ending session only ask the form; the window closes when the form unloads it.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/AnimationPlayer.h"
#include "platform/BrowserControl.h"
#include "platform/FormView.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class Win32FormView final : public IFormView {
public:
    // `resources`: where animations come from; may be null.
    Win32FormView(const FormDef& def, IFormEvents& events, HFONT font, int dpi,
                  IResourceLibrary* resources = nullptr);
    ~Win32FormView() override;
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // A control's window; null for controls without pixels.
    HWND Control(const std::string& control, int index) const;

    WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(m_hwnd); }
    void SetCaption(const std::string& text) override;
    std::string Caption() const override { return m_caption; }
    void SetText(const std::string& control, int index, const std::string& text) override;
    std::string Text(const std::string& control, int index) const override;
    void SetValue(const std::string& control, int index, double value) override;
    double Value(const std::string& control, int index) const override;
    void SetPicture(const std::string& control, const PicturePtr& picture) override;
    void SetWindowIcon(const PicturePtr& picture) override;
    // Application modal: the thread's other windows are disabled until this one hides.
    void ShowModal(WindowHandle owner) override;
    void ShowModeless(WindowHandle owner) override;
    void Hide() override;
    bool IsVisible() const override;
    TwipRect Bounds() const override;
    void Move(const TwipRect& rect) override;
    TwipRect ClientSize() const override;
    void MoveControl(const std::string& control, const TwipRect& rect) override;
    TwipRect ControlClientSize(const std::string& control) const override;
    WindowHandle SetOwner(WindowHandle owner) override;
    // The system's WebBrowser control inside `container`; null without an HTML engine.
    std::unique_ptr<IBrowserControl> CreateBrowser(const std::string& container) override;
    // A Win32AnimationPlayer on the surface; null without a surface window.
    std::unique_ptr<IAnimationPlayer> CreateAnimation(const std::string& surface) override;
    void Destroy() override;

private:
    struct Entry {
        const ControlDef* def = nullptr;
        HWND hwnd = nullptr;
        TwipRect rect;
        HICON icon = nullptr;
    };

    void Build();
    void CreateControl(Entry& entry, int id);
    void Place(Entry& entry);
    static bool IsContainer(const Entry& entry);
    bool IsOneLine(const Entry& entry) const;
    POINT Origin(const Entry& entry, int depth = 0) const; // container offset in twips
    Entry* Find(const std::string& control, int index);
    const Entry* Find(const std::string& control, int index) const;
    Entry* FindByName(const std::string& control);
    Entry* ButtonFlagged(bool isDefault);
    void Click(Entry& entry);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    int Pixels(double twips) const { return MulDiv(static_cast<int>(twips), m_dpi, 1440); }
    double Twips(int pixels) const { return pixels * 1440.0 / m_dpi; }

    const FormDef m_def;
    IFormEvents* m_events; // null once destroyed
    HFONT m_font;
    int m_dpi;
    IResourceLibrary* m_resources;
    HWND m_hwnd = nullptr;
    HICON m_windowIcon = nullptr;
    std::string m_caption;
    std::vector<Entry> m_entries; // control id = position + kFirstId
    bool m_modal = false;
    bool m_inResize = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace KDAutoUpdate
