#pragma once
// The engine profile every browser control of the process uses: off the record (nothing of the
// pages is written to disk), with the res:// and in-memory page schemes installed once.
//
// The engine never lets two profiles share a renderer process, so one profile is what lets the
// controls share one. A renderer lives as long as a page is loaded in it: when a control goes,
// its pages are kept blank (Retire) until the next control has a page up (PageShown) or kKeepMs
// have passed, so a window opened again soon finds the renderer running instead of starting
// one. Kept pages have no view, show nothing and report nothing.
//
// The profile lives as long as the process; kept pages go when the application ends, before
// the engine shuts down.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <vector>

namespace KDAutoUpdate {

class QtPageSchemeHandler;
class QtResSchemeHandler;

class QtBrowserProfile final : public QObject {
    Q_OBJECT
public:
    static constexpr int kKeepMs = 30000;

    // Made on first use; QtWebBrowserControl::RegisterSchemes() must have run before.
    static QtBrowserProfile& Get();

    QWebEngineProfile* Profile() const { return m_profile; }
    QtResSchemeHandler& Resources() const { return *m_resources; }
    QtPageSchemeHandler& Pages() const { return *m_pages; }

    // Takes a closed control's page (its view may still hold it; the view no longer owns it)
    // and keeps it, blank, until PageShown() or kKeepMs.
    void Retire(QWebEnginePage* page);
    // A control has a page loaded: the renderer no longer needs the kept pages.
    void PageShown();

private:
    QtBrowserProfile();
    void DropKept();
    static void Shutdown();

    QPointer<QWebEngineProfile> m_profile;
    QtResSchemeHandler* m_resources = nullptr;
    QtPageSchemeHandler* m_pages = nullptr;
    std::vector<QPointer<QWebEnginePage>> m_kept;
    QTimer m_release;
};

} // namespace KDAutoUpdate
