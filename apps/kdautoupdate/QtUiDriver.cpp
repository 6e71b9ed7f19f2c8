#include "QtUiDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/EventLoop.h"
#include "platform/qt/QtFormView.h"
#include "platform/qt/QtWebBrowserControl.h"

namespace KDAutoUpdate {

namespace {

QString JsString(const std::string& text) {
    QString escaped = QString::fromStdString(text);
    escaped.replace('\\', "\\\\").replace('\'', "\\'").replace('\n', "\\n");
    return "'" + escaped + "'";
}

// A script that clicks the first element matching `target` and answers whether there was one.
QString ClickScript(const PageTarget& target) {
    QString find;
    if (!target.id.empty()) {
        find = "document.getElementById(" + JsString(target.id) + ")";
    } else {
        QString conditions = "true";
        for (const auto& [name, value] : target.attributes)
            conditions += " && e.getAttribute(" + JsString(name) + ") === " + JsString(value);
        find = "Array.from(document.querySelectorAll('*')).find(e => " + conditions + ")";
    }
    return "(function(){ const e = " + find +
           "; if (!e) return false; e.scrollIntoView({block:'center'}); e.click(); return true; "
           "})()";
}

} // namespace

QtUiDriver::QtUiDriver(QtFormRenderer& renderer, IEventLoop& loop, long paceMs)
    : m_renderer(renderer), m_loop(loop), m_paceMs(paceMs) {
    m_renderer.SetMonitor(this);
}

QtUiDriver::~QtUiDriver() {
    m_renderer.SetMonitor(nullptr);
}

bool QtUiDriver::IsShown(const std::string& form) const {
    const QtFormView* view = m_renderer.Find(form);
    return view && view->IsVisible();
}

std::string QtUiDriver::Caption(const std::string& form) const {
    const QtFormView* view = m_renderer.Find(form);
    return view ? view->Caption() : std::string();
}

std::string QtUiDriver::Text(const std::string& form, const std::string& control) const {
    const QtFormView* view = m_renderer.Find(form);
    return view ? view->Text(control, -1) : std::string();
}

bool QtUiDriver::Click(const std::string& form, const std::string& control, int index) {
    QtFormView* view = m_renderer.Find(form);
    auto* button = view && view->IsVisible()
                       ? qobject_cast<QAbstractButton*>(view->Control(control, index))
                       : nullptr;
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool QtUiDriver::SetChecked(const std::string& form, const std::string& control, bool checked,
                            int index) {
    QtFormView* view = m_renderer.Find(form);
    auto* button = view && view->IsVisible()
                       ? qobject_cast<QAbstractButton*>(view->Control(control, index))
                       : nullptr;
    if (!button || !button->isCheckable())
        return false;
    if (button->isChecked() != checked)
        button->click();
    return true;
}

bool QtUiDriver::Close(const std::string& form) {
    QtFormView* view = m_renderer.Find(form);
    if (!view || !view->IsVisible() || !view->Window())
        return false;
    view->Window()->close();
    return true;
}

bool QtUiDriver::PressKey(const std::string& form, int key) {
    QtFormView* view = m_renderer.Find(form);
    if (!view || !view->IsVisible() || !view->Window())
        return false;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(view->Window(), &press);
    return true;
}

bool QtUiDriver::PressEnter(const std::string& form) {
    return PressKey(form, Qt::Key_Return);
}
bool QtUiDriver::PressEscape(const std::string& form) {
    return PressKey(form, Qt::Key_Escape);
}

bool QtUiDriver::ClickPage(const std::string& form, const PageTarget& target) {
    // The messages window is the one form with a page.
    frmMessages* window = FormInstances::ForThread().messages.get();
    auto* browser = form == "frmMessages" && window && window->IsLoaded()
                        ? dynamic_cast<QtWebBrowserControl*>(window->Browser())
                        : nullptr;
    QWebEngineView* web = browser ? browser->View(browser->VisibleBrowser()) : nullptr;
    if (!web || !web->page())
        return false;
    auto answered = std::make_shared<std::optional<bool>>();
    web->page()->runJavaScript(ClickScript(target),
                               [answered](const QVariant& result) { *answered = result.toBool(); });
    // A click that closes the window takes the page, and the script's answer, with it.
    auto windowGone = [] {
        frmMessages* w = FormInstances::ForThread().messages.get();
        return !w || !w->IsLoaded();
    };
    m_loop.RunUntil([&] { return answered->has_value() || windowGone(); }, 10000);
    return answered->value_or(windowGone());
}

void QtUiDriver::QueueModalAction(const std::string& form, std::function<void()> action) {
    m_actions[form].push_back(std::move(action));
}

void QtUiDriver::QueueMsgBoxAnswer(MsgBoxResult answer) {
    m_msgBoxAnswers.push_back(answer);
}

void QtUiDriver::RunNextAction(const std::string& form) {
    auto it = m_actions.find(form);
    if (it == m_actions.end() || it->second.empty() || !IsShown(form))
        return;
    QTimer::singleShot(static_cast<int>(m_paceMs), [this, form] {
        auto found = m_actions.find(form);
        if (found == m_actions.end() || found->second.empty() || !IsShown(form))
            return;
        std::function<void()> action = std::move(found->second.front());
        found->second.pop_front();
        action();
        RunNextAction(form);
    });
}

void QtUiDriver::FormShown(QtFormView& view, bool modal) {
    if (m_observer) {
        m_observer->FormShown(SnapshotOf(view), modal);
    }
    if (modal)
        RunNextAction(view.Name());
}

void QtUiDriver::FormHidden(QtFormView& view) {
    if (m_observer)
        m_observer->FormHidden(view.Name());
}

void QtUiDriver::FormUnloaded(const std::string& formName) {
    if (m_observer)
        m_observer->FormUnloaded(formName);
}

std::optional<MsgBoxResult> QtUiDriver::MessageBox(const std::string&, const std::string&) {
    if (m_msgBoxAnswers.empty())
        return std::nullopt;
    const MsgBoxResult answer = m_msgBoxAnswers.front();
    m_msgBoxAnswers.pop_front();
    return answer;
}

void QtUiDriver::MessageBoxAnswered(const std::string& text, const std::string& title,
                                    MsgBoxResult answer) {
    if (m_observer)
        m_observer->MessageBoxShown(text, title, answer);
}

} // namespace KDAutoUpdate
