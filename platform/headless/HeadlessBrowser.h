#pragma once
// A browser control without a toolkit: pages come through IHttpFetcher (http, https) or from
// the resource library (res://), are parsed into a small mutable DOM, and events are raised as
// a real control raises them: later, through the event loop, never inside Navigate (the
// navigations are BrowserNavigation's, as in the WebEngine control). Besides IBrowserControl
// it offers driver operations that stand in for the user: click an element, press a key, let a
// script raise an alert.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/ResourceLibrary.h"
#include "platform/headless/BrowserNavigation.h"
#include "platform/headless/HeadlessDocument.h"

namespace KDAutoUpdate {

class HeadlessBrowser final : public IBrowserControl, private BrowserNavigation::IBackend {
public:
    using AttributeList = std::vector<std::pair<std::string, std::string>>;

    // `resources` may be null: res:// pages then fail with 404.
    HeadlessBrowser(IHttpFetcher& http, IResourceLibrary* resources, IEventLoop& loop);
    ~HeadlessBrowser() override;
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // IBrowserControl
    void SetEvents(IBrowserEvents* events) override { m_navigation.SetEvents(events); }
    void SetHostUIFlags(long flags) override { m_hostUIFlags = flags; }
    bool AddBrowser(short& id) override;
    bool Navigate(short id, const std::string& url) override;
    bool ShowBrowser(short id) override;
    short VisibleBrowser() const override { return m_navigation.Visible(); }
    HtmlDocumentPtr Document(short id) override;
    WindowHandle Handle() const override;
    void Move(const TwipRect& rect) override { m_bounds = rect; }
    TwipRect Bounds() const override { return m_bounds; }
    void LockPainting(bool lock) override { m_paintingLocked = lock; }
    bool IsPaintingLocked() const override { return m_paintingLocked; }

    long HostUIFlags() const { return m_hostUIFlags; }
    // Whether a navigation of that browser has not finished yet.
    bool IsLoading(short id) const { return m_navigation.IsLoading(id); }

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
    // BrowserNavigation::IBackend
    void ShowPage(short id, BrowserNavigation::Page page) override;
    void PageFailed(short id, std::uint64_t navigation, const std::string& url,
                    long statusCode) override;
    std::optional<std::string> ReadResource(const std::string& url) override;

    HeadlessDocumentPtr CurrentDocument(short id) const;
    std::vector<HtmlElementPtr> Match(short id, const AttributeList& attributeEquals,
                                      std::size_t limit) const;

    IResourceLibrary* m_resources;
    // Each browser's document; none before its first page.
    std::map<short, HeadlessDocumentPtr> m_documents;
    TwipRect m_bounds;
    bool m_paintingLocked = false;
    long m_hostUIFlags = 0;
    BrowserNavigation m_navigation;
};

} // namespace KDAutoUpdate
