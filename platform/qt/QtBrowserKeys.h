#pragma once
// The keys of the browser control's views: each key press goes to the host first; a key the
// host handles never reaches the page, and neither does its release.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <set>

class QWebEngineView;
class QWidget;

namespace KDAutoUpdate {

class QtBrowserKeys final : public QObject {
public:
    // Asks the host about a key of browser `id` (Windows key code and modifier state).
    using Translate = std::function<void(short id, int keyCode, int modifiers, bool& handled)>;

    explicit QtBrowserKeys(Translate translate);
    ~QtBrowserKeys() override;

    // Watches the widget the engine renders `view` into; again after the engine replaced it.
    void Watch(short id, QWebEngineView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Translate m_translate;
    std::map<short, QPointer<QWidget>> m_targets;
    std::set<int> m_swallowed; // key presses kept from the page: their releases too
};

} // namespace KDAutoUpdate
