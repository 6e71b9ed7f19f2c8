#include "ScriptedUiDriver.h"

#include "platform/headless/HeadlessBrowser.h"

namespace KDAutoUpdate {

ScriptedUiDriver::ScriptedUiDriver(ScriptedRenderer& renderer) : m_renderer(renderer) {
    m_renderer.SetObserver(this);
}

ScriptedUiDriver::~ScriptedUiDriver() {
    m_renderer.SetObserver(nullptr);
}

bool ScriptedUiDriver::IsShown(const std::string& form) const {
    const ScriptedView* view = m_renderer.Find(form);
    return view && view->IsVisible();
}

std::string ScriptedUiDriver::Caption(const std::string& form) const {
    const ScriptedView* view = m_renderer.Find(form);
    return view ? view->Caption() : std::string();
}

std::string ScriptedUiDriver::Text(const std::string& form, const std::string& control) const {
    const ScriptedView* view = m_renderer.Find(form);
    return view ? view->Text(control, -1) : std::string();
}

bool ScriptedUiDriver::Click(const std::string& form, const std::string& control, int index) {
    return m_renderer.Click(form, control, index);
}

bool ScriptedUiDriver::SetChecked(const std::string& form, const std::string& control, bool checked,
                                  int index) {
    return m_renderer.SetChecked(form, control, checked, index);
}

bool ScriptedUiDriver::Close(const std::string& form) {
    return m_renderer.Close(form);
}
bool ScriptedUiDriver::PressEnter(const std::string& form) {
    return m_renderer.PressEnter(form);
}
bool ScriptedUiDriver::PressEscape(const std::string& form) {
    return m_renderer.PressEscape(form);
}

bool ScriptedUiDriver::ClickPage(const std::string& form, const PageTarget& target) {
    ScriptedView* view = m_renderer.Find(form);
    auto* browser = view ? dynamic_cast<HeadlessBrowser*>(view->Browser()) : nullptr;
    if (!browser)
        return false;
    const short id = browser->VisibleBrowser();
    const HtmlElementPtr element = target.id.empty() ? browser->FindFirst(id, target.attributes)
                                                     : browser->FindById(id, target.id);
    if (!element)
        return false;
    browser->Click(id, element);
    return true;
}

void ScriptedUiDriver::QueueModalAction(const std::string& form, std::function<void()> action) {
    m_renderer.QueueModalAction(form, [action = std::move(action)](ScriptedView&) { action(); });
}

void ScriptedUiDriver::QueueMsgBoxAnswer(MsgBoxResult answer) {
    m_renderer.QueueMsgBoxAnswer(answer);
}

void ScriptedUiDriver::FormShown(ScriptedView& view, bool modal) {
    if (!m_observer)
        return;
    m_observer->FormShown(SnapshotOf(view), modal);
}

void ScriptedUiDriver::FormHidden(ScriptedView& view) {
    if (m_observer)
        m_observer->FormHidden(view.Name());
}

void ScriptedUiDriver::FormUnloaded(const std::string& formName) {
    if (m_observer)
        m_observer->FormUnloaded(formName);
}

void ScriptedUiDriver::MessageBoxShown(const std::string& text, MsgBoxButtons, MsgBoxIcon,
                                       const std::string& title, MsgBoxResult answer) {
    if (m_observer)
        m_observer->MessageBoxShown(text, title, answer);
}

void ScriptedUiDriver::ModalTimedOut(const std::string& formName) {
    if (m_observer)
        m_observer->ModalTimedOut(formName);
}

} // namespace KDAutoUpdate
