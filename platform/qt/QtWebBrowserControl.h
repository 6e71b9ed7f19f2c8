#pragma once
// The browser control of the messages window on Qt WebEngine: a QStackedWidget that fills its
// container, with one QWebEngineView per browser (ids 1, 2, ...), the view of ShowBrowser on
// top. The navigations (ids, superseded loads, fetch or local read, the host's events) are
// BrowserNavigation's, as in the headless browser: events come later, through the event loop,
// never inside Navigate.
//
// Pages:
// - res:// URLs come from the resource library through a scheme handler (relative URLs in a
//   resource page resolve to the same library).
// - http and https pages are fetched once through IHttpFetcher and shown as UTF-8 text read
//   in the page's own encoding (PageEncoding), with QWebEnginePage::setContent and the page's
//   own URL as base, or, above the 2 MB limit of that call, through an in-memory scheme with a
//   <base> element (QtPageBody). A failed fetch raises
//   NavigateError (HTTP status or negative transport error) and no DocumentComplete.
// - A page's own navigations of the main frame to http, https or res (links, location) are
//   loaded the same way, in a fresh page; what the engine loads by itself (a posted form,
//   history) ends in a DocumentComplete too, its document parsed from the engine's DOM.
// DocumentComplete follows the engine's successful end of the load; a load the engine fails or
// stops raises NavigateError.
// Documents: reads come from a mirror parsed from the page's text, so RawSource is the page's
// text and element operations answer at once; elements by id are those of the live page, as
// its script reports them at the end of the load; writes also reach the live page
// (QtHtmlDocument). The host's UI flags become the pages' style (QtWebPage::SetHostFlags).
// Keys go to the host first (QtBrowserKeys).
//
// The controls of a process share one in-memory profile and so one renderer (QtBrowserProfile).
// The engine takes custom URL schemes only until it starts (its first profile): the first
// control registers them (RegisterSchemes) before the profile is made; a program that starts
// Qt WebEngine itself earlier calls RegisterSchemes() first.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/ResourceLibrary.h"
#include "platform/headless/BrowserNavigation.h"
#include "platform/qt/QtHtmlDocument.h"

class QEvent;
class QStackedWidget;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace KDAutoUpdate {

class IDesktop;
class QtBrowserKeys;
class QtPageSchemeHandler;
class QtResSchemeHandler;
class QtWebPage;

class QtWebBrowserControl final : public QObject,
                                  public IBrowserControl,
                                  private BrowserNavigation::IBackend {
    Q_OBJECT
public:
    // Registers the URL schemes of the control (res, and the in-memory scheme of large pages),
    // which Qt WebEngine takes until it starts, and sets the engine's switches unless the host
    // has (QtEngineSwitches) or the engine has started. Before the QApplication exists it also
    // shares OpenGL contexts, as Qt WebEngine asks. The first control calls it before the shared
    // profile is made; later calls do nothing.
    static void RegisterSchemes();

    // `container` is the widget the control fills; `resources` may be null (res:// pages then
    // fail with 404).
    QtWebBrowserControl(QWidget* container, IHttpFetcher& http, IResourceLibrary* resources,
                        IEventLoop& loop);
    ~QtWebBrowserControl() override;
    QtWebBrowserControl(const QtWebBrowserControl&) = delete;
    QtWebBrowserControl& operator=(const QtWebBrowserControl&) = delete;

    // IBrowserControl
    void SetEvents(IBrowserEvents* events) override { m_navigation.SetEvents(events); }
    // Applied to every page of the control, now and as browsers are added.
    void SetHostUIFlags(long flags) override;
    bool AddBrowser(short& id) override;
    bool Navigate(short id, const std::string& url) override;
    bool ShowBrowser(short id) override;
    short VisibleBrowser() const override { return m_navigation.Visible(); }
    HtmlDocumentPtr Document(short id) override;
    // The stack widget's address: asking for a native window would cost WebEngine its
    // compositing, and nothing needs one.
    WindowHandle Handle() const override;
    // Twips are pixels * 1440 / logical dpi.
    void Move(const TwipRect& rect) override;
    TwipRect Bounds() const override;
    void LockPainting(bool lock) override;
    bool IsPaintingLocked() const override { return m_paintingLocked; }

    long HostUIFlags() const { return m_hostUIFlags; }
    // Where a new window the host allows goes (its URL is opened there); null: nowhere.
    void SetDesktop(IDesktop* desktop) { m_desktop = desktop; }
    // Whether a navigation of that browser has not ended yet.
    bool IsLoading(short id) const { return m_navigation.IsLoading(id); }
    QWebEngineView* View(short id) const;
    QWidget* Widget() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The engine's load that ends a navigation.
    struct PendingLoad {
        std::uint64_t navigation = 0;
        std::string url;                   // as the events report it
        std::string source;                // the raw text the document is parsed from
        QUrl target;                       // what the engine loads, or the base URL of `content`
        std::optional<QByteArray> content; // shown with setContent when set
        QByteArray contentType;
        bool started = false;
        QUrl internalPage; // the in-memory body it shows, if any
    };
    struct Browser {
        QPointer<QWebEngineView> view;
        QPointer<QtWebPage> page;
        QtHtmlDocumentPtr document;
        std::optional<PendingLoad> load;
        bool foreignLoad = false; // the engine loads what the page itself asked for
        bool pageSpent = false;   // the page refused a navigation of its own
        QUrl internalPage;
    };

    Browser* FindBrowser(short id);
    const Browser* FindBrowser(short id) const;
    void ConnectPage(short id, QtWebPage* page);
    // Puts a new page into the browser's view.
    void ReplacePage(short id, Browser& browser);
    // BrowserNavigation::IBackend
    void ShowPage(short id, BrowserNavigation::Page page) override;
    void PageFailed(short id, std::uint64_t navigation, const std::string& url,
                    long statusCode) override;
    std::optional<std::string> ReadResource(const std::string& url) override;
    // Hands the browser's pending load to the engine.
    void StartLoad(Browser& browser);
    void OnLoadingChanged(short id, const QWebEngineLoadingInfo& info);
    void OnForeignLoadFinished(short id);
    void OnNewWindow(short id, QWebEngineNewWindowRequest& request);
    void OnScriptDialog(short id, const QString& text);
    void OnClickReported(short id, const QString& json);
    // The document replaces the browser's one and DocumentComplete goes out.
    void Complete(short id, std::uint64_t navigation, const std::string& url,
                  const std::string& source, const QUrl& internalPage);
    // The document of a completed load, with the live page's report of its elements.
    void Publish(short id, std::uint64_t navigation, const std::string& url,
                 const std::string& source, const QUrl& internalPage, const QString& liveElements);
    void Fail(short id, std::uint64_t navigation, const std::string& url, long statusCode);
    void DropInternalPage(QUrl& url);

    QPointer<QWidget> m_container;
    IResourceLibrary* m_resources;
    IEventLoop& m_loop;
    IDesktop* m_desktop = nullptr;
    QPointer<QStackedWidget> m_stack;
    QPointer<QWebEngineProfile> m_profile;
    QPointer<QtResSchemeHandler> m_resHandler;
    QPointer<QtPageSchemeHandler> m_pageHandler;
    std::map<short, Browser> m_browsers;
    std::unique_ptr<QtBrowserKeys> m_keys;
    bool m_paintingLocked = false;
    long m_hostUIFlags = 0;
    quint64 m_nextGeneration = 1;
    BrowserNavigation m_navigation;
};

} // namespace KDAutoUpdate
