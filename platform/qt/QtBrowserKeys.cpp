#include "platform/qt/QtBrowserKeys.h"

#include <QKeyEvent>
#include <QWebEngineView>

#include "platform/qt/QtVirtualKeys.h"

namespace KDAutoUpdate {

QtBrowserKeys::QtBrowserKeys(Translate translate) : m_translate(std::move(translate)) {}

QtBrowserKeys::~QtBrowserKeys() {
    for (const auto& [id, target] : m_targets)
        if (target)
            target->removeEventFilter(this);
}

void QtBrowserKeys::Watch(short id, QWebEngineView* view) {
    if (!view)
        return;
    // Keys go to the view's focus proxy, the widget the engine renders into.
    QWidget* target = view->focusProxy() ? view->focusProxy() : view;
    QPointer<QWidget>& watched = m_targets[id];
    if (target == watched)
        return;
    if (watched)
        watched->removeEventFilter(this);
    target->installEventFilter(this);
    watched = target;
}

bool QtBrowserKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    short id = 0;
    for (const auto& [browser, target] : m_targets)
        if (target == watched)
            id = browser;
    if (id == 0)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease) {
        const bool swallowed = m_swallowed.contains(key->key());
        if (swallowed && !key->isAutoRepeat())
            m_swallowed.erase(key->key());
        return swallowed;
    }
    bool handled = false;
    const QPointer<QtBrowserKeys> self(this);
    if (m_translate)
        try {
            m_translate(id, WindowsVirtualKey(*key), WindowsModifierState(*key), handled);
        } catch (...) {
        }
    // The host may have ended the control, and these keys with it.
    if (!self)
        return true;
    if (handled)
        m_swallowed.insert(key->key());
    return handled;
}

} // namespace KDAutoUpdate
