#pragma once
// One form as a Qt Widgets window.
//
// The window: a top-level QtFormWindow. A fixed dialog frame has a title bar, system menu and
// close box and a fixed size; a sizable window adds the minimize and maximize buttons the
// form asks for. Windows listed in the task bar are normal windows (Qt::Window); the others
// are dialog windows (Qt::Dialog), which Qt marks transient (on X11 for the application's
// leader window when they have no owner), so desktops keep them out of the task bar while
// they keep a full dialog frame. Positions, sizes and fonts follow the screen's logical DPI:
// twips * dpi / 1440 pixels.
//
// Controls: labels wrap when they are at least two lines high and show their text as it is
// (an "&" is shown); buttons, check boxes and option buttons keep "&" as access key. Option
// buttons exclude each other within their container, as in the window toolkits. The button
// strip is a QtButtonStrip; picture boxes and animation surfaces are plain widgets; browsers
// are made by the renderer's factory inside their picture box; invisible controls and the
// browser placeholder have no widget.
//
// Events: a click is delivered after Qt changed the control's state; Enter clicks the default
// button unless a focused button takes it; Esc clicks the cancel button; the close box only
// asks the form. OnResize comes when the window is first shown and whenever its size changes
// (not nested in a resize handler); OnControlResize when MoveControl changes the size of a
// picture box or button strip. After Destroy nothing reaches the form.

#include <map>
#include <memory>
#include <string>
#include <utility>

#include <QMetaObject>
#include <QPointer>

#include "platform/AnimationPlayer.h"
#include "platform/BrowserControl.h"
#include "platform/FormView.h"
#include "platform/qt/QtFormControl.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtTwips.h"

class QButtonGroup;
class QEventLoop;
class QWindow;

namespace KDAutoUpdate {

class QtFormRenderer;

class QtFormView final : public IFormView, private QtFormWindow::Listener {
public:
    QtFormView(QtFormRenderer& renderer, const FormDef& def, IFormEvents& events);
    ~QtFormView() override;
    QtFormView(const QtFormView&) = delete;
    QtFormView& operator=(const QtFormView&) = delete;

    const FormDef& Def() const { return m_def; }
    const std::string& Name() const { return m_def.name; }
    // The window; null once destroyed.
    QWidget* Window() const;
    // A control's widget (the member without index, or the given member of an array); null for
    // controls without pixels and once destroyed.
    QWidget* Control(const std::string& control, int index = -1) const;
    bool IsDestroyed() const { return m_destroyed; }
    // True while ShowModal waits.
    bool IsModal() const { return m_modalLoop != nullptr; }
    WindowHandle Owner() const { return m_owner; }

    // IFormView
    WindowHandle Handle() const override;
    void SetCaption(const std::string& text) override;
    std::string Caption() const override { return m_caption; }
    void SetText(const std::string& control, int index, const std::string& text) override;
    std::string Text(const std::string& control, int index) const override;
    // Check box 0, 1 or 2 (grey); option button 0 or 1 (0 may leave none selected); progress
    // bar 0 to 100.
    void SetValue(const std::string& control, int index, double value) override;
    double Value(const std::string& control, int index) const override;
    void SetPicture(const std::string& control, const PicturePtr& picture) override;
    void SetWindowIcon(const PicturePtr& picture) override;
    // Application modal; returns when the window is hidden or destroyed (or the application
    // quits). A window that is already waiting modally is left alone.
    void ShowModal(WindowHandle owner) override;
    // A window that waits modally stays modal.
    void ShowModeless(WindowHandle owner) override;
    void Hide() override;
    bool IsVisible() const override;
    TwipRect Bounds() const override;
    // A negative width or height is ignored.
    void Move(const TwipRect& rect) override;
    TwipRect ClientSize() const override;
    // A negative width or height is ignored. For a control array the member without index or
    // else the first member moves.
    void MoveControl(const std::string& control, const TwipRect& rect) override;
    TwipRect ControlClientSize(const std::string& control) const override;
    WindowHandle SetOwner(WindowHandle owner) override;
    std::unique_ptr<IBrowserControl> CreateBrowser(const std::string& container) override;
    std::unique_ptr<IAnimationPlayer> CreateAnimation(const std::string& surface) override;
    // Hides the window, ends a modal wait, cuts every event and deletes the widgets later, so
    // it may be called from a handler of this very window.
    void Destroy() override;

private:
    friend class QtFormRenderer;

    using ControlEntry = QtFormControl;
    using Key = std::pair<std::string, int>;

    void Build();
    QButtonGroup* OptionGroup(const std::string& container);
    void ApplyOwner(WindowHandle owner);
    bool Show(WindowHandle owner);
    QtDpi Dpi() const;
    ControlEntry* Entry(const std::string& control, int index);
    const ControlEntry* Entry(const std::string& control, int index) const;
    ControlEntry* EntryByName(const std::string& control);
    const ControlEntry* EntryByName(const std::string& control) const;
    bool ClickButton(bool isDefault);
    void DeliverClick(const std::string& control, int index);

    // QtFormWindow::Listener
    void WindowCloseRequested() override;
    void WindowResized() override;
    bool WindowEnterPressed() override;
    void WindowEscapePressed() override;

    QtFormRenderer* m_renderer; // null once destroyed or once the renderer is gone
    const FormDef m_def;
    IFormEvents* m_events; // null once destroyed
    // False once this object is freed; checked by code that ran the form's handlers.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    QPointer<QtFormWindow> m_window;
    std::map<Key, ControlEntry> m_controls;
    std::map<std::string, QPointer<QButtonGroup>> m_optionGroups;
    std::string m_caption;
    mutable QtDpi m_dpi; // of the window's screen when last asked, for a window that is gone
    mutable WindowHandle m_handle = 0;
    WindowHandle m_owner = 0;
    std::unique_ptr<QWindow> m_foreignOwner; // another program's window that owns this one
    QEventLoop* m_modalLoop = nullptr;
    int m_showCount = 0;
    bool m_destroyed = false;
    bool m_inResize = false;
};

} // namespace KDAutoUpdate
