#pragma once
// The shell's user interface over the scripted renderer and the headless browser.

#include "UiDriver.h"
#include "platform/console/ScriptedRenderer.h"

namespace KDAutoUpdate {

class ScriptedUiDriver : public UiDriver, private ScriptedRenderer::Observer {
public:
    explicit ScriptedUiDriver(ScriptedRenderer& renderer);
    ~ScriptedUiDriver() override;

    void SetObserver(UiDriver::Observer* observer) override { m_observer = observer; }
    bool IsShown(const std::string& form) const override;
    std::string Caption(const std::string& form) const override;
    std::string Text(const std::string& form, const std::string& control) const override;
    bool Click(const std::string& form, const std::string& control, int index) override;
    bool SetChecked(const std::string& form, const std::string& control, bool checked,
                    int index) override;
    bool Close(const std::string& form) override;
    bool PressEnter(const std::string& form) override;
    bool PressEscape(const std::string& form) override;
    bool ClickPage(const std::string& form, const PageTarget& target) override;
    void QueueModalAction(const std::string& form, std::function<void()> action) override;
    void QueueMsgBoxAnswer(MsgBoxResult answer) override;

private:
    void FormShown(ScriptedView& view, bool modal) override;
    void FormHidden(ScriptedView& view) override;
    void FormUnloaded(const std::string& formName) override;
    void MessageBoxShown(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                         const std::string& title, MsgBoxResult answer) override;
    void ModalTimedOut(const std::string& formName) override;

    ScriptedRenderer& m_renderer;
    UiDriver::Observer* m_observer = nullptr;
};

} // namespace KDAutoUpdate
