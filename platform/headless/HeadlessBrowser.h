#pragma once
// A browser control without a toolkit: pages come through IHttpFetcher (http, https) or from
// the resource library (res://), are parsed into a small mutable DOM, and events are raised as
// a real control raises them: later, through the event loop, never inside Navigate. Besides
// IBrowserControl it offers driver operations that stand in for the user: click an element,
// press a key, let a script raise an alert.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/ResourceLibrary.h"
#include "platform/headless/HeadlessDocument.h"
#include "platform/headless/PageFetcher.h"

namespace KDAutoUpdate {

class HeadlessBrowser final : public IBrowserControl {
public:
    // Status codes of failed loads that have no HTTP status.
    static constexpr long kResourceNotFound = 404;
    static constexpr long kUnknownProtocol = -2146697203; // 0x800C000D
    static constexpr long kOutOfMemory = -2147024882;     // 0x8007000E

    using AttributeList = std::vector<std::pair<std::string, std::string>>;

    // `resources` may be null: res:// pages then fail with 404.
    HeadlessBrowser(IHttpFetcher& http, IResourceLibrary* resources, IEventLoop& loop);
    ~HeadlessBrowser() override;
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // IBrowserControl
    void SetEvents(IBrowserEvents* events) override { m_events = events; }
    void SetHostUIFlags(long flags) override { m_hostUIFlags = flags; }
    bool AddBrowser(short& id) override;
    bool Navigate(short id, const std::string& url) override;
    bool ShowBrowser(short id) override;
    short VisibleBrowser() const override { return m_visible; }
    HtmlDocumentPtr Document(short id) override;
    WindowHandle Handle() const override;
    void Move(const TwipRect& rect) override { m_bounds = rect; }
    TwipRect Bounds() const override { return m_bounds; }
    void LockPainting(bool lock) override { m_paintingLocked = lock; }
    bool IsPaintingLocked() const override { return m_paintingLocked; }

    long HostUIFlags() const { return m_hostUIFlags; }
    // Whether a navigation of that browser has not finished yet.
    bool IsLoading(short id) const;

    // A user's click on `element` of the browser's current page, dispatched as it bubbles
    // (HtmlClick). Answers whether the default action was kept. False for an element not on
    // the page.
    bool Click(short id, const HtmlElementPtr& element);
    HtmlElementPtr FindById(short id, const std::string& elementId);
    // Elements whose attributes (names in any case) have exactly these values, in document order.
    HtmlElementPtr FindFirst(short id, const AttributeList& attributeEquals);
    std::vector<HtmlElementPtr> FindAll(short id, const AttributeList& attributeEquals);
    // A key stroke; answers whether it reached the page (the host did not handle it).
    bool PressKey(short id, int keyCode, int modifiers);
    // A script's alert box; answers whether the host handled it.
    bool RaiseScriptAlert(short id, const std::string& text);
    // The page asks for a new window; answers whether the host let it open.
    bool RequestNewWindow(short id, const std::string& url);
    // Visible text of the element with that id (of the page's body for an empty id).
    std::string TextContent(short id, const std::string& elementId);
    // URL of the page shown in that browser; empty before the first page.
    std::string CurrentUrl(short id);

private:
    struct Browser {
        HeadlessDocumentPtr document;
        std::uint64_t navigation = 0; // the answer of any older navigation is dropped
        bool loading = false;
        PageFetcher::Request fetch;
    };

    Browser* FindBrowser(short id);
    const Browser* FindBrowser(short id) const;
    HeadlessDocumentPtr CurrentDocument(short id) const;
    std::vector<HtmlElementPtr> Match(short id, const AttributeList& attributeEquals,
                                      std::size_t limit) const;
    void OnHttpDone(short id, std::uint64_t navigation, const std::string& url,
                    const HttpResult& result);
    void LoadLocal(short id, std::uint64_t navigation, const std::string& url);
    // Ends the navigation: the page replaces the browser's document, or the load failed.
    void Finish(short id, const std::string& url, std::string source);
    void Fail(short id, const std::string& url, long statusCode);

    PageFetcher m_fetcher;
    IResourceLibrary* m_resources;
    IEventLoop& m_loop;
    IBrowserEvents* m_events = nullptr;
    std::map<short, Browser> m_browsers;
    short m_nextId = 1;
    short m_visible = 0;
    TwipRect m_bounds;
    bool m_paintingLocked = false;
    long m_hostUIFlags = 0;
    // Callbacks hold it weakly: once the control is gone they do nothing.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace KDAutoUpdate
