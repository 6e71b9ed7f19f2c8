#pragma once
// A renderer without a toolkit: windows live in memory and a driver (a test, the automation
// shell, the text-mode demo) acts as the user by control name. Modal windows run the event
// loop until they hide; answers queued for a form run inside that wait, and a window nobody
// answers is closed with its close box after a timeout, so no script can hang.
//
// The user's actions reach only visible windows: a hidden or unloaded form is "not there".

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/FormView.h"
#include "platform/console/ScriptedView.h"

namespace KDAutoUpdate {

class ScriptedRenderer : public IFormRenderer {
public:
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void FormShown(ScriptedView& /*view*/, bool /*modal*/) {}
        virtual void FormHidden(ScriptedView& /*view*/) {}
        virtual void FormUnloaded(const std::string& /*formName*/) {}
        virtual void MessageBoxShown(const std::string& /*text*/, MsgBoxButtons /*buttons*/,
                                     MsgBoxIcon /*icon*/, const std::string& /*title*/,
                                     MsgBoxResult /*answer*/) {}
        virtual void ModalTimedOut(const std::string& /*formName*/) {}
    };
    using BrowserFactory = std::function<std::unique_ptr<IBrowserControl>()>;

    static constexpr const char* kApplicationTitle = "Keldra Update Service";

    explicit ScriptedRenderer(IEventLoop& loop, BrowserFactory browsers = {});
    ~ScriptedRenderer() override;
    ScriptedRenderer(const ScriptedRenderer&) = delete;
    ScriptedRenderer& operator=(const ScriptedRenderer&) = delete;

    void SetObserver(Observer* observer) { m_observer = observer; }
    // How long a modal window waits for an answer before its close box is used (default 30 s).
    void SetModalTimeoutMs(long ms) { m_modalTimeoutMs = ms < 0 ? 0 : ms; }
    long ModalTimeoutMs() const { return m_modalTimeoutMs; }
    // Default: 1920 by 1080 pixels at the origin.
    void SetScreen(const TwipRect& screen) { m_screen = screen; }

    // A loaded (not destroyed) view by form name, the newest if several; else null.
    ScriptedView* Find(const std::string& formName) const;
    // The loaded views in the order they were made.
    std::vector<ScriptedView*> Views() const;
    ScriptedView* FindByHandle(WindowHandle handle) const;

    // The user's actions. Each answers false when the form is not visible or the control is
    // not there.
    // A button is clicked; a check box toggles (0 <-> 1) and is clicked; an option button is
    // selected (the other option buttons of its container cleared) and clicked.
    bool Click(const std::string& form, const std::string& control, int index = -1);
    // A check box is clicked only when its state differs. An option button can only be
    // selected this way (false for checked == false).
    bool SetChecked(const std::string& form, const std::string& control, bool checked,
                    int index = -1);
    // The close box: the form decides (IFormEvents::OnCloseRequested).
    bool Close(const std::string& form);
    // Clicks the default button; false when the form has none.
    bool PressEnter(const std::string& form);
    // Clicks the cancel button; false when the form has none.
    bool PressEscape(const std::string& form);
    // Drags the frame to an outer size (non-negative); fires OnResize. Fixed dialogs refuse.
    bool Resize(const std::string& form, double widthTwips, double heightTwips);

    // Answers for the next modal showings of a form, in order. Once the form is shown modally
    // the first is posted to the loop; after it ran and the form is still shown, the next one.
    // Answers left when the form hides stay for its next modal showing.
    void QueueModalAction(const std::string& form, std::function<void(ScriptedView&)> action);
    bool HasQueuedActions(const std::string& form) const;
    void ClearQueuedActions();
    // Answers for the next message boxes, in order; without one the first button (OK / Yes).
    // An answer the box does not offer counts as its first button.
    void QueueMsgBoxAnswer(MsgBoxResult answer) { m_msgBoxAnswers.push_back(answer); }
    std::size_t QueuedMsgBoxAnswers() const { return m_msgBoxAnswers.size(); }

    // IFormRenderer
    std::unique_ptr<IFormView> CreateView(const FormDef& def, IFormEvents& events) override;
    // An empty title means the application title.
    MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                        const std::string& title) override;
    TwipRect Screen() const override { return m_screen; }

private:
    friend class ScriptedView;

    ScriptedView* Visible(const std::string& form) const;
    void Unregister(const ScriptedView* view);
    std::optional<std::function<void(ScriptedView&)>> TakeModalAction(const std::string& form);
    TwipRect InitialBounds(const FormDef& def);

    IEventLoop& m_loop;
    BrowserFactory m_browsers;
    Observer* m_observer = nullptr;
    long m_modalTimeoutMs = 30000;
    TwipRect m_screen{0, 0, 1920 * 15, 1080 * 15};
    std::vector<ScriptedView*> m_views;
    std::map<std::string, std::deque<std::function<void(ScriptedView&)>>> m_modalActions;
    std::deque<MsgBoxResult> m_msgBoxAnswers;
    WindowHandle m_nextHandle = 0x10;
    int m_cascade = 0;
};

} // namespace KDAutoUpdate
