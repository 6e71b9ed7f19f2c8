#pragma once
// The toolkit-neutral view of a form, and the renderer that makes views and message boxes.
// Form classes in the core own the logic and talk only to these interfaces.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "FormDefinition.h"
#include "ResourceLibrary.h"

namespace KDAutoUpdate {

class IBrowserControl;
class IAnimationPlayer;

using WindowHandle = std::intptr_t;

// Why a form is being unloaded (the QueryUnload reasons of the window toolkit).
enum class UnloadMode { ControlMenu = 0, Code = 1, AppWindows = 2, TaskManager = 3 };

enum class MsgBoxButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
enum class MsgBoxResult { OK = 1, Cancel = 2, Yes = 6, No = 7 };

struct TwipRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Events a view delivers to its form. They run on the agent's thread.
class IFormEvents {
public:
    virtual ~IFormEvents() = default;
    virtual void OnClick(const std::string& control, int index) = 0;
    // The window is asked to close: by the user (close box, system menu, Alt+F4:
    // UnloadMode::ControlMenu) or by the ending session or application (UnloadMode::AppWindows).
    // The view never closes itself; the form decides.
    virtual void OnCloseRequested(UnloadMode mode) = 0;
    virtual void OnResize() = 0;
    // A control's inner size changed (a picture box that holds a browser).
    virtual void OnControlResize(const std::string& control) = 0;
};

class IFormView {
public:
    virtual ~IFormView() = default;

    virtual WindowHandle Handle() const = 0;
    virtual void SetCaption(const std::string& text) = 0;
    virtual std::string Caption() const = 0;
    virtual void SetText(const std::string& control, int index, const std::string& text) = 0;
    virtual std::string Text(const std::string& control, int index) const = 0;
    // Check box 0/1, option button 0/1, progress bar position.
    virtual void SetValue(const std::string& control, int index, double value) = 0;
    virtual double Value(const std::string& control, int index) const = 0;
    virtual void SetPicture(const std::string& control, const PicturePtr& picture) = 0;
    virtual void SetWindowIcon(const PicturePtr& picture) = 0;

    // Shows the window and runs a nested loop until it is hidden or unloaded.
    virtual void ShowModal(WindowHandle owner) = 0;
    virtual void ShowModeless(WindowHandle owner) = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;

    // The window's outer rectangle, and its client size, in twips.
    virtual TwipRect Bounds() const = 0;
    virtual void Move(const TwipRect& rect) = 0;
    virtual TwipRect ClientSize() const = 0;
    virtual void MoveControl(const std::string& control, const TwipRect& rect) = 0;
    virtual TwipRect ControlClientSize(const std::string& control) const = 0;
    // Sets the owner window and answers the previous one.
    virtual WindowHandle SetOwner(WindowHandle owner) = 0;

    // Controls that belong to a toolkit: a browser inside a picture box, an animation surface.
    virtual std::unique_ptr<IBrowserControl> CreateBrowser(const std::string& container) = 0;
    virtual std::unique_ptr<IAnimationPlayer> CreateAnimation(const std::string& surface) = 0;

    // Destroys the window; no events follow.
    virtual void Destroy() = 0;
};

class IFormRenderer {
public:
    virtual ~IFormRenderer() = default;
    virtual std::unique_ptr<IFormView> CreateView(const FormDef& def, IFormEvents& events) = 0;
    // A message box; an empty title means the application title.
    virtual MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                                const std::string& title) = 0;
    virtual TwipRect Screen() const = 0;
};

} // namespace KDAutoUpdate
