#pragma once
// The shell's user interface over real windows (Qt Widgets and Qt WebEngine): it acts as the
// user by pressing the real buttons and clicking the real page, at a pace a person can follow.

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "UiDriver.h"
#include "platform/qt/QtFormRenderer.h"

namespace KDAutoUpdate {

class IEventLoop;

class QtUiDriver : public UiDriver, private QtFormRenderer::Monitor {
public:
    // `paceMs`: the pause before each queued answer, so a watcher sees each window.
    QtUiDriver(QtFormRenderer& renderer, IEventLoop& loop, long paceMs = 0);
    ~QtUiDriver() override;

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
    void FormShown(QtFormView& view, bool modal) override;
    void FormHidden(QtFormView& view) override;
    void FormUnloaded(const std::string& formName) override;
    std::optional<MsgBoxResult> MessageBox(const std::string& text,
                                           const std::string& title) override;
    void MessageBoxAnswered(const std::string& text, const std::string& title,
                            MsgBoxResult answer) override;
    void RunNextAction(const std::string& form);
    bool PressKey(const std::string& form, int key);

    QtFormRenderer& m_renderer;
    IEventLoop& m_loop;
    long m_paceMs;
    UiDriver::Observer* m_observer = nullptr;
    std::map<std::string, std::deque<std::function<void()>>> m_actions;
    std::deque<MsgBoxResult> m_msgBoxAnswers;
};

} // namespace KDAutoUpdate
