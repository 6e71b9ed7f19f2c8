#include "platform/headless/HeadlessBrowser.h"

#include <limits>
#include <new>

#include "platform/headless/HtmlClick.h"
#include "platform/headless/HtmlTextExtractor.h"
#include "platform/headless/MarkupBounds.h"
#include "platform/headless/PageEncoding.h"
#include "platform/portable/ResUrl.h"

namespace KDAutoUpdate {

HeadlessBrowser::HeadlessBrowser(IHttpFetcher& http, IResourceLibrary* resources, IEventLoop& loop)
    : m_fetcher(http, loop), m_resources(resources), m_loop(loop) {}

HeadlessBrowser::~HeadlessBrowser() {
    // First silence the callbacks, then stop what is still on the wire.
    m_alive.reset();
    for (auto& [id, browser] : m_browsers)
        browser.fetch.StopQuietly();
}

bool HeadlessBrowser::AddBrowser(short& id) {
    if (m_nextId == std::numeric_limits<short>::max())
        return false;
    id = m_nextId++;
    m_browsers[id];
    return true;
}

bool HeadlessBrowser::Navigate(short id, const std::string& url) {
    Browser* browser = FindBrowser(id);
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

        const std::string scheme = UrlScheme(url);
        if (scheme == "http" || scheme == "https") {
            auto request =
                m_fetcher.Get(url, [this, alive, id, navigation, url](const HttpResult& result) {
                    if (!alive.expired())
                        OnHttpDone(id, navigation, url, result);
                });
            if (Browser* current = FindBrowser(id); current && current->navigation == navigation)
                current->fetch = {std::move(request), current->loading};
        } else {
            m_loop.Post([this, alive, id, navigation, url] {
                if (!alive.expired())
                    LoadLocal(id, navigation, url);
            });
        }
        return true;
    } catch (...) {
        if (alive.expired())
            return false;
        if (Browser* current = FindBrowser(id); current && current->navigation == navigation)
            current->loading = false;
        return false;
    }
}

bool HeadlessBrowser::ShowBrowser(short id) {
    if (!FindBrowser(id))
        return false;
    m_visible = id;
    return true;
}

HtmlDocumentPtr HeadlessBrowser::Document(short id) {
    return CurrentDocument(id);
}

WindowHandle HeadlessBrowser::Handle() const {
    return reinterpret_cast<WindowHandle>(this);
}

bool HeadlessBrowser::IsLoading(short id) const {
    const Browser* browser = FindBrowser(id);
    return browser && browser->loading;
}

bool HeadlessBrowser::Click(short id, const HtmlElementPtr& element) {
    // Everything a handler might release is held here: the handlers may destroy this control.
    const auto target = std::dynamic_pointer_cast<HeadlessElement>(element);
    const HeadlessDocumentPtr document = CurrentDocument(id);
    if (!target || !document || !document->Contains(*target))
        return false;
    const std::weak_ptr<int> alive = m_alive;

    const bool toggles = target->IsCheckBox() && !target->IsDisabled();
    return HtmlClick::Dispatch(target, element,
                               toggles ? std::optional<bool>(!target->Checked()) : std::nullopt,
                               document->OnClick(), [alive] { return !alive.expired(); });
}

HtmlElementPtr HeadlessBrowser::FindById(short id, const std::string& elementId) {
    const HeadlessDocumentPtr document = CurrentDocument(id);
    return document ? document->GetElementById(elementId) : nullptr;
}

HtmlElementPtr HeadlessBrowser::FindFirst(short id, const AttributeList& attributeEquals) {
    auto found = Match(id, attributeEquals, 1);
    return found.empty() ? nullptr : found.front();
}

std::vector<HtmlElementPtr> HeadlessBrowser::FindAll(short id,
                                                     const AttributeList& attributeEquals) {
    return Match(id, attributeEquals, 0);
}

bool HeadlessBrowser::PressKey(short id, int keyCode, int modifiers) {
    if (!FindBrowser(id))
        return false;
    bool handled = false;
    if (m_events)
        try {
            m_events->TranslateAccelerator(id, keyCode, modifiers, handled);
        } catch (...) {
        }
    return !handled;
}

bool HeadlessBrowser::RaiseScriptAlert(short id, const std::string& text) {
    if (!FindBrowser(id))
        return false;
    bool handled = false;
    if (m_events)
        try {
            m_events->ShowMessage(id, text, "Meldung von Webseite", handled);
        } catch (...) {
        }
    return handled;
}

bool HeadlessBrowser::RequestNewWindow(short id, const std::string& url) {
    if (!FindBrowser(id))
        return false;
    bool cancel = false;
    if (m_events)
        try {
            m_events->NewWindow3(id, cancel, url);
        } catch (...) {
        }
    return !cancel;
}

std::string HeadlessBrowser::TextContent(short id, const std::string& elementId) {
    const HeadlessDocumentPtr document = CurrentDocument(id);
    if (!document)
        return {};
    HeadlessElementPtr element =
        elementId.empty()
            ? document->Body()
            : std::dynamic_pointer_cast<HeadlessElement>(document->GetElementById(elementId));
    return element ? HtmlTextExtractor::VisibleText(*element) : std::string();
}

std::string HeadlessBrowser::CurrentUrl(short id) {
    const HeadlessDocumentPtr document = CurrentDocument(id);
    return document ? document->Url() : std::string();
}

HeadlessBrowser::Browser* HeadlessBrowser::FindBrowser(short id) {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

const HeadlessBrowser::Browser* HeadlessBrowser::FindBrowser(short id) const {
    auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : &it->second;
}

HeadlessDocumentPtr HeadlessBrowser::CurrentDocument(short id) const {
    const Browser* browser = FindBrowser(id);
    return browser ? browser->document : nullptr;
}

std::vector<HtmlElementPtr> HeadlessBrowser::Match(short id, const AttributeList& attributeEquals,
                                                   std::size_t limit) const {
    std::vector<HtmlElementPtr> result;
    const HeadlessDocumentPtr document = CurrentDocument(id);
    if (!document)
        return result;
    const auto found = document->Find(
        [&attributeEquals](const HeadlessElement& element) {
            for (const auto& [name, value] : attributeEquals)
                if (element.GetAttribute(name) != value)
                    return false;
            return true;
        },
        limit);
    result.assign(found.begin(), found.end());
    return result;
}

void HeadlessBrowser::OnHttpDone(short id, std::uint64_t navigation, const std::string& url,
                                 const HttpResult& result) {
    Browser* browser = FindBrowser(id);
    if (!browser || browser->navigation != navigation || !browser->loading)
        return;
    browser->loading = false;
    browser->fetch.running = false;

    PageFetcher::Page page = PageFetcher::Read(result, url);
    if (page.failure != 0)
        Fail(id, url, page.failure);
    else
        Finish(id, page.url, std::move(page.text));
}

void HeadlessBrowser::LoadLocal(short id, std::uint64_t navigation, const std::string& url) {
    Browser* browser = FindBrowser(id);
    if (!browser || browser->navigation != navigation || !browser->loading)
        return;
    browser->loading = false;

    const std::string scheme = UrlScheme(url);
    if (scheme == "about") {
        Finish(id, url, {});
        return;
    }
    if (scheme != "res") {
        Fail(id, url, kUnknownProtocol);
        return;
    }
    std::string filePath;
    std::string resourceName;
    std::optional<std::string> page;
    // Only the opened library is reachable: a URL naming another file finds nothing.
    if (ParseResUrl(url, filePath, resourceName) && m_resources && m_resources->IsOpen() &&
        m_resources->ResourceFilePath() == filePath)
        page = m_resources->ReadResource(resourceName);
    if (page)
        Finish(id, url, PageEncoding::ToUtf8(*page, {}));
    else
        Fail(id, url, kResourceNotFound);
}

void HeadlessBrowser::Finish(short id, const std::string& url, std::string source) {
    // A page too deep or too large to parse in a moment fails like one too large for memory.
    if (!MarkupBounds::IsWithinBounds(source)) {
        Fail(id, url, kOutOfMemory);
        return;
    }
    HeadlessDocumentPtr document;
    try {
        document = std::make_shared<HeadlessDocument>(url, std::move(source));
    } catch (const std::bad_alloc&) {
        Fail(id, url, kOutOfMemory);
        return;
    }
    if (Browser* browser = FindBrowser(id))
        browser->document = std::move(document);
    if (m_events)
        try {
            m_events->DocumentComplete(id, url);
        } catch (...) {
        }
}

void HeadlessBrowser::Fail(short id, const std::string& url, long statusCode) {
    bool cancel = false;
    if (m_events)
        try {
            m_events->NavigateError(id, url, statusCode, cancel);
        } catch (...) {
        }
}

} // namespace KDAutoUpdate
