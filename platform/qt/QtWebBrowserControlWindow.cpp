// QtWebBrowserControl as a window among the host's widgets: which browser is shown, where and
// how large, painting; and what a page asks of its host (new windows, script dialogs, clicks).
#include "platform/qt/QtWebBrowserControl.h"

#include <QEvent>
#include <QStackedWidget>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>

#include "platform/Desktop.h"
#include "platform/qt/QtTwips.h"

namespace KDAutoUpdate {

void QtWebBrowserControl::OnNewWindow(short id, QWebEngineNewWindowRequest& request) {
    // The request stays unanswered, so no page is created for it.
    const std::string url = request.requestedUrl().toString(QUrl::FullyEncoded).toStdString();
    const std::weak_ptr<int> alive = m_navigation.Alive();
    const bool cancel = m_navigation.NewWindow(id, url);
    if (!cancel && !alive.expired() && m_desktop)
        try {
            m_desktop->OpenUrl(url);
        } catch (...) {
        }
}

void QtWebBrowserControl::OnScriptDialog(short id, const QString& text) {
    // Shown or not, the page's dialog never appears: the host only learns of it.
    m_navigation.ShowMessage(id, text.toStdString(), std::string());
}

void QtWebBrowserControl::OnClickReported(short id, const QString& json) {
    // The handlers may run modal dialogs: not inside the channel's delivery.
    const std::weak_ptr<int> alive = m_navigation.Alive();
    m_loop.Post([this, alive, id, json] {
        if (alive.expired())
            return;
        const Browser* browser = FindBrowser(id);
        const QtHtmlDocumentPtr document = browser ? browser->document : nullptr;
        if (document)
            document->HandleClickReport(json);
    });
}

bool QtWebBrowserControl::ShowBrowser(short id) {
    Browser* browser = FindBrowser(id);
    if (!browser || !browser->view || !m_stack)
        return false;
    m_stack->setCurrentWidget(browser->view);
    return m_navigation.Show(id);
}

HtmlDocumentPtr QtWebBrowserControl::Document(short id) {
    const Browser* browser = FindBrowser(id);
    return browser ? browser->document : nullptr;
}

WindowHandle QtWebBrowserControl::Handle() const {
    return reinterpret_cast<WindowHandle>(m_stack.data());
}

void QtWebBrowserControl::Move(const TwipRect& rect) {
    if (!m_stack)
        return;
    m_stack->setGeometry(TwipsToPixels(rect, DpiOf(m_stack)));
}

TwipRect QtWebBrowserControl::Bounds() const {
    if (!m_stack)
        return {};
    return PixelsToTwips(m_stack->geometry(), DpiOf(m_stack));
}

void QtWebBrowserControl::LockPainting(bool lock) {
    m_paintingLocked = lock;
    if (!m_stack)
        return;
    m_stack->setUpdatesEnabled(!lock);
    if (!lock)
        m_stack->update();
}

QWebEngineView* QtWebBrowserControl::View(short id) const {
    const Browser* browser = FindBrowser(id);
    return browser ? browser->view.data() : nullptr;
}

QWidget* QtWebBrowserControl::Widget() const {
    return m_stack.data();
}

bool QtWebBrowserControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_container && event->type() == QEvent::Resize && m_stack)
        m_stack->setGeometry(m_container->rect());
    return false;
}

} // namespace KDAutoUpdate
