#pragma once
// The navigations of a browser control's browsers, the same for every backend; the backend only
// shows the pages. Browsers are numbered 1, 2, ... A navigation supersedes the browser's earlier
// one: its fetch is stopped and any late answer dropped. A page never arrives inside Navigate
// but later, from the event loop: http and https pages through the page fetcher, about: and
// res: pages read locally, anything else fails as an unknown protocol. The host's events go out
// from here, and an exception thrown by its handler ends there.
//
// The backend may be destroyed inside any of its own calls or of an event it raises (the host
// closes the window): nothing here touches the control after such a call.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/headless/PageFetcher.h"

namespace KDAutoUpdate {

class BrowserNavigation {
public:
    // Status codes of failed loads that have no HTTP status.
    static constexpr long kResourceNotFound = 404;
    static constexpr long kUnknownProtocol = -2146697203; // 0x800C000D
    static constexpr long kOutOfMemory = -2147024882;     // 0x8007000E

    // A navigation's page, ready to be shown.
    struct Page {
        std::uint64_t navigation = 0;
        std::string url;      // as the events report it: after redirects for a fetched page
        std::string text;     // UTF-8
        bool fetched = false; // came through the fetcher; else read locally (about:, res:)
    };

    // How a backend shows what a navigation brought. Called from the event loop for the
    // browser's current navigation only.
    class IBackend {
    public:
        // Shows the page, which is within the bounds the parser takes (MarkupBounds).
        virtual void ShowPage(short id, Page page) = 0;
        // The navigation failed before it reached the backend.
        virtual void PageFailed(short id, std::uint64_t navigation, const std::string& url,
                                long statusCode) = 0;
        // A res: page's bytes; nullopt when there is none.
        virtual std::optional<std::string> ReadResource(const std::string& url) = 0;

    protected:
        ~IBackend() = default;
    };

    BrowserNavigation(IHttpFetcher& http, IEventLoop& loop, IBackend& backend);
    ~BrowserNavigation();
    BrowserNavigation(const BrowserNavigation&) = delete;
    BrowserNavigation& operator=(const BrowserNavigation&) = delete;

    // Silences every callback and stops the fetches on the wire. The backend calls it first
    // thing in its destructor, before its own parts go.
    void Close() noexcept;
    // Held by the backend's own callbacks: expires on Close.
    std::weak_ptr<int> Alive() const { return m_alive; }

    void SetEvents(IBrowserEvents* events) { m_events = events; }
    IBrowserEvents* Events() const { return m_events; }

    // A new browser's id; false when the ids are spent.
    bool Add(short& id);
    bool Contains(short id) const { return m_browsers.count(id) != 0; }
    // False for an unknown browser.
    bool Show(short id);
    short Visible() const { return m_visible; }

    // Starts a navigation of the browser; false for an unknown browser or a fetch that could
    // not start.
    bool Navigate(short id, const std::string& url);
    // The browser's latest navigation (0 before the first).
    std::uint64_t Latest(short id) const;
    // Whether that navigation is the browser's latest and has not ended.
    bool IsActive(short id, std::uint64_t navigation) const;
    bool IsLoading(short id) const;
    // The navigation has ended (shown or failed); an older one's end changes nothing.
    void End(short id, std::uint64_t navigation);

    // The host's events; a throwing handler counts as one that returned.
    void DocumentComplete(short id, const std::string& url);
    // Answers the host's cancel.
    bool NavigateError(short id, const std::string& url, long statusCode);
    // Answers whether the host handled the message.
    bool ShowMessage(short id, const std::string& text, const std::string& caption);
    // Answers whether the host cancelled the window; a throwing handler cancels it.
    bool NewWindow(short id, const std::string& url);
    // Answers whether the host handled the key.
    bool TranslateAccelerator(short id, int keyCode, int modifiers);

private:
    struct Browser {
        std::uint64_t navigation = 0; // the answer of any older navigation is dropped
        bool loading = false;
        PageFetcher::Request fetch;
    };

    Browser* Find(short id);
    const Browser* Find(short id) const;
    // Calls the host's handler, if there is one; false when the handler threw, which the
    // control does not let pass into the loop.
    template <class Call> bool Raise(Call&& call) {
        if (!m_events)
            return true;
        try {
            call(*m_events);
            return true;
        } catch (...) {
            return false;
        }
    }
    void OnFetched(short id, std::uint64_t navigation, const std::string& url,
                   const HttpResult& result);
    void ReadLocal(short id, std::uint64_t navigation, const std::string& url);
    // Hands the page on, or fails it when it is beyond what the parser takes in a moment.
    void Deliver(short id, Page page);

    PageFetcher m_fetcher;
    IEventLoop& m_loop;
    IBackend& m_backend;
    IBrowserEvents* m_events = nullptr;
    std::map<short, Browser> m_browsers;
    short m_nextId = 1;
    short m_visible = 0;
    // Callbacks hold it weakly: once the control is closed they do nothing.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace KDAutoUpdate
