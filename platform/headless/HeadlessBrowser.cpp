#include "platform/headless/HeadlessBrowser.h"

#include <new>

#include "platform/headless/HtmlClick.h"
#include "platform/headless/HtmlTextExtractor.h"
#include "platform/portable/ResUrl.h"

namespace KDAutoUpdate {

HeadlessBrowser::HeadlessBrowser(IHttpFetcher& http, IResourceLibrary* resources, IEventLoop& loop)
    : m_resources(resources), m_navigation(http, loop, *this) {}

HeadlessBrowser::~HeadlessBrowser() {
    m_navigation.Close();
}

bool HeadlessBrowser::AddBrowser(short& id) {
    return m_navigation.Add(id);
}

bool HeadlessBrowser::Navigate(short id, const std::string& url) {
    return m_navigation.Navigate(id, url);
}

bool HeadlessBrowser::ShowBrowser(short id) {
    return m_navigation.Show(id);
}

HtmlDocumentPtr HeadlessBrowser::Document(short id) {
    return CurrentDocument(id);
}

WindowHandle HeadlessBrowser::Handle() const {
    return reinterpret_cast<WindowHandle>(this);
}

bool HeadlessBrowser::Click(short id, const HtmlElementPtr& element) {
    // Everything a handler might release is held here: the handlers may destroy this control.
    const auto target = std::dynamic_pointer_cast<HeadlessElement>(element);
    const HeadlessDocumentPtr document = CurrentDocument(id);
    if (!target || !document || !document->Contains(*target))
        return false;
    const std::weak_ptr<int> alive = m_navigation.Alive();

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
    return m_navigation.Contains(id) && !m_navigation.TranslateAccelerator(id, keyCode, modifiers);
}

bool HeadlessBrowser::RaiseScriptAlert(short id, const std::string& text) {
    return m_navigation.Contains(id) && m_navigation.ShowMessage(id, text, "Meldung von Webseite");
}

bool HeadlessBrowser::RequestNewWindow(short id, const std::string& url) {
    return m_navigation.Contains(id) && !m_navigation.NewWindow(id, url);
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

HeadlessDocumentPtr HeadlessBrowser::CurrentDocument(short id) const {
    const auto it = m_documents.find(id);
    return it == m_documents.end() ? nullptr : it->second;
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

void HeadlessBrowser::ShowPage(short id, BrowserNavigation::Page page) {
    m_navigation.End(id, page.navigation);
    HeadlessDocumentPtr document;
    try {
        document = std::make_shared<HeadlessDocument>(page.url, std::move(page.text));
    } catch (const std::bad_alloc&) {
        PageFailed(id, page.navigation, page.url, BrowserNavigation::kOutOfMemory);
        return;
    }
    m_documents[id] = std::move(document);
    m_navigation.DocumentComplete(id, page.url);
}

void HeadlessBrowser::PageFailed(short id, std::uint64_t navigation, const std::string& url,
                                 long statusCode) {
    m_navigation.End(id, navigation);
    m_navigation.NavigateError(id, url, statusCode);
}

std::optional<std::string> HeadlessBrowser::ReadResource(const std::string& url) {
    std::string filePath;
    std::string resourceName;
    // Only the opened library is reachable: a URL naming another file finds nothing.
    if (ParseResUrl(url, filePath, resourceName) && m_resources && m_resources->IsOpen() &&
        m_resources->ResourceFilePath() == filePath)
        return m_resources->ReadResource(resourceName);
    return std::nullopt;
}

} // namespace KDAutoUpdate
