#include "platform/headless/BrowserNavigation.h"

#include <limits>
#include <utility>

#include "platform/headless/MarkupBounds.h"
#include "platform/headless/PageEncoding.h"

namespace KDAutoUpdate {

BrowserNavigation::BrowserNavigation(IHttpFetcher& http, IEventLoop& loop, IBackend& backend)
    : m_fetcher(http, loop), m_loop(loop), m_backend(backend) {}

BrowserNavigation::~BrowserNavigation() {
    Close();
}

void BrowserNavigation::Close() noexcept {
    // First silence the callbacks, then stop what is still on the wire.
    m_alive.reset();
    for (auto& [id, browser] : m_browsers)
        browser.fetch.StopQuietly();
}

bool BrowserNavigation::Add(short& id) {
    if (m_nextId == std::numeric_limits<short>::max())
        return false;
    id = m_nextId++;
    m_browsers[id];
    return true;
}

bool BrowserNavigation::Show(short id) {
    if (!Contains(id))
        return false;
    m_visible = id;
    return true;
}

bool BrowserNavigation::Navigate(short id, const std::string& url) {
    Browser* browser = Find(id);
    if (!browser)
        return false;
    const std::uint64_t navigation = ++browser->navigation;
    browser->loading = true;
    const std::weak_ptr<int> alive = m_alive;
    try {
        // The superseded load is stopped; its answer carries an old number and is dropped.
        browser->fetch.Stop();
        if (alive.expired())
            return false;
        if (!IsActive(id, navigation))
            return true;

        const std::string scheme = UrlScheme(url);
        if (scheme == "http" || scheme == "https") {
            auto request =
                m_fetcher.Get(url, [this, alive, id, navigation, url](const HttpResult& result) {
                    if (!alive.expired())
                        OnFetched(id, navigation, url, result);
                });
            if (IsActive(id, navigation))
                Find(id)->fetch = {std::move(request), true};
        } else {
            m_loop.Post([this, alive, id, navigation, url] {
                if (!alive.expired())
                    ReadLocal(id, navigation, url);
            });
        }
        return true;
    } catch (...) {
        if (alive.expired())
            return false;
        End(id, navigation);
        return false;
    }
}

std::uint64_t BrowserNavigation::Latest(short id) const {
    const Browser* browser = Find(id);
    return browser ? browser->navigation : 0;
}

bool BrowserNavigation::IsActive(short id, std::uint64_t navigation) const {
    const Browser* browser = Find(id);
    return browser && browser->navigation == navigation && browser->loading;
}

bool BrowserNavigation::IsLoading(short id) const {
    const Browser* browser = Find(id);
    return browser && browser->loading;
}

void BrowserNavigation::End(short id, std::uint64_t navigation) {
    if (Browser* browser = Find(id); browser && browser->navigation == navigation)
        browser->loading = false;
}

void BrowserNavigation::DocumentComplete(short id, const std::string& url) {
    Raise([&](IBrowserEvents& events) { events.DocumentComplete(id, url); });
}

bool BrowserNavigation::NavigateError(short id, const std::string& url, long statusCode) {
    bool cancel = false;
    Raise([&](IBrowserEvents& events) { events.NavigateError(id, url, statusCode, cancel); });
    return cancel;
}

bool BrowserNavigation::ShowMessage(short id, const std::string& text, const std::string& caption) {
    bool handled = false;
    Raise([&](IBrowserEvents& events) { events.ShowMessage(id, text, caption, handled); });
    return handled;
}

bool BrowserNavigation::NewWindow(short id, const std::string& url) {
    bool cancel = false;
    // A window the host could not decide on is not opened.
    if (!Raise([&](IBrowserEvents& events) { events.NewWindow3(id, cancel, url); }))
        cancel = true;
    return cancel;
}

bool BrowserNavigation::TranslateAccelerator(short id, int keyCode, int modifiers) {
    bool handled = false;
    Raise([&](IBrowserEvents& events) {
        events.TranslateAccelerator(id, keyCode, modifiers, handled);
    });
    return handled;
}

BrowserNavigation::Browser* BrowserNavigation::Find(short id) {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

const BrowserNavigation::Browser* BrowserNavigation::Find(short id) const {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

void BrowserNavigation::OnFetched(short id, std::uint64_t navigation, const std::string& url,
                                  const HttpResult& result) {
    if (!IsActive(id, navigation))
        return;
    // The request is kept: it may hold this very callback and the answer.
    Find(id)->fetch.running = false;
    PageFetcher::Page page = PageFetcher::Read(result, url);
    if (page.failure != 0)
        m_backend.PageFailed(id, navigation, url, page.failure);
    else
        Deliver(id, {navigation, std::move(page.url), std::move(page.text), true});
}

void BrowserNavigation::ReadLocal(short id, std::uint64_t navigation, const std::string& url) {
    if (!IsActive(id, navigation))
        return;
    const std::string scheme = UrlScheme(url);
    std::optional<std::string> bytes;
    if (scheme == "about")
        bytes = std::string();
    else if (scheme != "res")
        return m_backend.PageFailed(id, navigation, url, kUnknownProtocol);
    else
        bytes = m_backend.ReadResource(url);
    if (!bytes)
        return m_backend.PageFailed(id, navigation, url, kResourceNotFound);
    Deliver(id, {navigation, url, PageEncoding::ToUtf8(*bytes, {}), false});
}

void BrowserNavigation::Deliver(short id, Page page) {
    // The backend parses the page on this thread: one too deep or too large to parse in a
    // moment fails like one too large for memory.
    if (!MarkupBounds::IsWithinBounds(page.text))
        return m_backend.PageFailed(id, page.navigation, page.url, kOutOfMemory);
    m_backend.ShowPage(id, std::move(page));
}

} // namespace KDAutoUpdate
