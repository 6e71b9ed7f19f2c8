#pragma once
// One window of the scripted renderer: the state a user would see (caption, texts, values,
// bounds, visibility), kept in memory. The renderer's driver acts as the user on it.
//
// Geometry: the outer window is the client area plus a frame of kFrameWidth twips across
// (two 60-twip borders) and kFrameHeight twips down (two borders and a 300-twip title bar).
// Containers (picture boxes, button strips) report OnControlResize when MoveControl changes
// their size; the form gets OnResize when first shown and whenever its outer size changes.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/AnimationPlayer.h"
#include "platform/BrowserControl.h"
#include "platform/FormView.h"
#include "platform/console/AnimationRecording.h"

namespace KDAutoUpdate {

class IEventLoop;
class ScriptedRenderer;

class ScriptedView final : public IFormView {
public:
    static constexpr double kFrameWidth = 2 * 60;
    static constexpr double kFrameHeight = 2 * 60 + 300;

    ScriptedView(ScriptedRenderer& renderer, IEventLoop& loop, const FormDef& def,
                 IFormEvents& events, WindowHandle handle, const TwipRect& bounds);
    ~ScriptedView() override;
    ScriptedView(const ScriptedView&) = delete;
    ScriptedView& operator=(const ScriptedView&) = delete;

    const FormDef& Def() const { return m_def; }
    const std::string& Name() const { return m_def.name; }
    // True while the window is shown modally.
    bool IsModal() const { return m_visible && m_modal; }
    WindowHandle Owner() const { return m_owner; }
    PicturePtr Picture(const std::string& control) const;
    PicturePtr WindowIcon() const { return m_windowIcon; }
    // The browser made by CreateBrowser (owned by the form), or null; null once destroyed.
    IBrowserControl* Browser() const { return m_destroyed ? nullptr : m_browser; }
    const std::string& BrowserContainer() const { return m_browserContainer; }
    // The recording player made by CreateAnimation while the form keeps it, else null.
    IAnimationPlayer* Animation() const;
    // What the player was asked, also after the form released it; null before CreateAnimation.
    std::shared_ptr<const AnimationRecording> AnimationLog() const { return m_animationLog; }
    IFormEvents& Events() const { return m_events; }
    bool IsDestroyed() const { return m_destroyed; }
    // A control's rectangle in its container, in twips; zero for an unknown control.
    TwipRect ControlRect(const std::string& control, int index = -1) const;
    // How often the window was shown (modal or not).
    int ShowCount() const { return m_showCount; }

    // IFormView
    WindowHandle Handle() const override { return m_handle; }
    void SetCaption(const std::string& text) override { m_caption = text; }
    std::string Caption() const override { return m_caption; }
    void SetText(const std::string& control, int index, const std::string& text) override;
    std::string Text(const std::string& control, int index) const override;
    // An option button set to a non-zero value clears the other option buttons of its container.
    void SetValue(const std::string& control, int index, double value) override;
    double Value(const std::string& control, int index) const override;
    void SetPicture(const std::string& control, const PicturePtr& picture) override;
    void SetWindowIcon(const PicturePtr& picture) override { m_windowIcon = picture; }
    void ShowModal(WindowHandle owner) override;
    void ShowModeless(WindowHandle owner) override;
    void Hide() override;
    bool IsVisible() const override { return m_visible; }
    TwipRect Bounds() const override { return m_bounds; }
    // A negative width or height is ignored (a real window refuses it too).
    void Move(const TwipRect& rect) override;
    // Never negative: a window smaller than its frame has an empty client area.
    TwipRect ClientSize() const override;
    // A negative width or height is ignored. For a control array, the member without index or
    // else the first member moves.
    void MoveControl(const std::string& control, const TwipRect& rect) override;
    TwipRect ControlClientSize(const std::string& control) const override;
    WindowHandle SetOwner(WindowHandle owner) override;
    std::unique_ptr<IBrowserControl> CreateBrowser(const std::string& container) override;
    std::unique_ptr<IAnimationPlayer> CreateAnimation(const std::string& surface) override;
    void Destroy() override;

private:
    friend class ScriptedRenderer;

    struct ControlState {
        const ControlDef* def = nullptr;
        std::string text;
        double value = 0;
        TwipRect rect;
        PicturePtr picture;
    };
    using Key = std::pair<std::string, int>;

    ControlState* State(const std::string& control, int index);
    const ControlState* State(const std::string& control, int index) const;
    ControlState* StateByName(const std::string& control);
    const ControlState* StateByName(const std::string& control) const;
    void ClearOtherOptions(const ControlState& selected);
    // Makes the window visible; false when the view died in the process.
    bool Show(WindowHandle owner, bool modal);
    void PostNextModalAction(std::uint64_t session);
    bool ModalEnded() const { return m_destroyed || !m_visible; }
    void NotifyResize();

    ScriptedRenderer* m_renderer; // null once the renderer is gone
    IEventLoop& m_loop;
    const FormDef m_def;
    IFormEvents& m_events;
    const WindowHandle m_handle;
    // False once this object is freed; checked by code that waited in the loop.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    std::string m_caption;
    std::map<Key, ControlState> m_controls;
    PicturePtr m_windowIcon;
    TwipRect m_bounds;
    WindowHandle m_owner = 0;
    bool m_visible = false;
    bool m_modal = false;
    bool m_destroyed = false;
    bool m_inModalWait = false;
    bool m_inResize = false;
    int m_showCount = 0;
    std::uint64_t m_modalSession = 0;

    IBrowserControl* m_browser = nullptr;
    std::string m_browserContainer;
    IAnimationPlayer* m_animation = nullptr;
    std::shared_ptr<AnimationRecording> m_animationLog;
};

} // namespace KDAutoUpdate
