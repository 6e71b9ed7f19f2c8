#include "tests/support/FakeBrowserControl.h"

#include <algorithm>
#include <cctype>

namespace KDAutoUpdate {

namespace {

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int g_destroyedDuringEvent = 0;

WindowHandle NextHandle() {
    static WindowHandle next = 0x5000;
    return next += 0x10;
}

} // namespace

// Element.

FakeBrowserControl::Element::Element(std::string id, std::string tagName)
    : m_id(std::move(id)), m_tagName(std::move(tagName)) {
    if (!m_id.empty())
        m_attributes.emplace_back("id", m_id);
}

FakeBrowserControl::Element& FakeBrowserControl::Element::Attr(const std::string& name,
                                                               const std::string& value) {
    SetAttribute(name, value);
    return *this;
}

FakeBrowserControl::Element& FakeBrowserControl::Element::MakeCheckBox(bool checked) {
    m_checkBox = true;
    m_checked = checked;
    return *this;
}

FakeBrowserControl::Element&
FakeBrowserControl::Element::SetRawSource(std::optional<std::string> source) {
    m_rawSource = std::move(source);
    return *this;
}

std::optional<std::string>
FakeBrowserControl::Element::GetAttribute(const std::string& name) const {
    const std::string wanted = LowerAscii(name);
    for (const auto& [n, v] : m_attributes)
        if (LowerAscii(n) == wanted)
            return v;
    return std::nullopt;
}

void FakeBrowserControl::Element::SetAttribute(const std::string& name, const std::string& value) {
    const std::string wanted = LowerAscii(name);
    for (auto& [n, v] : m_attributes)
        if (LowerAscii(n) == wanted) {
            v = value;
            return;
        }
    m_attributes.emplace_back(name, value);
}

bool FakeBrowserControl::Element::FireOwnClick() {
    // A copy: the handler may replace itself while it runs.
    const std::function<bool()> handler = m_onClick;
    return handler ? handler() : true;
}

// Document.

FakeBrowserControl::ElementPtr FakeBrowserControl::Page::Add(const std::string& id,
                                                             const std::string& tagName) {
    auto element = std::make_shared<Element>(id, tagName);
    m_elements.push_back(element);
    return element;
}

FakeBrowserControl::ElementPtr FakeBrowserControl::Page::Find(const std::string& id) const {
    for (const auto& e : m_elements)
        if (!id.empty() && e->Id() == id)
            return e;
    return nullptr;
}

HtmlElementPtr FakeBrowserControl::Page::GetElementById(const std::string& id) {
    return Find(id);
}

bool FakeBrowserControl::Page::Click(const ElementPtr& element) {
    if (!element)
        return false;
    // A check box changes before the handlers run, so they read its new state.
    const bool before = element->Checked();
    if (element->IsCheckBox())
        element->SetChecked(!before);
    bool keep = element->FireOwnClick();
    const std::function<bool(const HtmlElementPtr&)> handler = m_onClick;
    if (handler && !handler(element))
        keep = false;
    if (!keep && element->IsCheckBox())
        element->SetChecked(before);
    return keep;
}

// Control.

FakeBrowserControl::FakeBrowserControl() : m_handle(NextHandle()) {}

FakeBrowserControl::~FakeBrowserControl() {
    if (m_eventDepth > 0)
        ++g_destroyedDuringEvent;
}

int FakeBrowserControl::DestroyedDuringEvent() {
    return g_destroyedDuringEvent;
}

template <class F> void FakeBrowserControl::Raise(F&& raise) {
    if (!m_events)
        return;
    ++m_eventDepth;
    raise(*m_events);
    // Written after the call on purpose: a control freed by its own callback is caught by the
    // sanitizers here, and by DestroyedDuringEvent() without them.
    --m_eventDepth;
}

bool FakeBrowserControl::AddBrowser(short& id) {
    id = m_nextId++;
    m_added.push_back(id);
    return true;
}

bool FakeBrowserControl::Navigate(short id, const std::string& url) {
    m_navigations.push_back({id, url});
    return true;
}

bool FakeBrowserControl::ShowBrowser(short id) {
    m_visible = id;
    return true;
}

HtmlDocumentPtr FakeBrowserControl::Document(short id) {
    const auto it = m_documents.find(id);
    return it == m_documents.end() ? nullptr : it->second;
}

void FakeBrowserControl::Move(const TwipRect& rect) {
    m_moves.push_back(rect);
    m_bounds = rect;
}

void FakeBrowserControl::LockPainting(bool lock) {
    m_lockCalls.push_back(lock);
    m_locked = lock;
}

void FakeBrowserControl::Complete(short id, const PagePtr& doc) {
    m_documents[id] = doc;
    const std::string url = doc ? doc->Url() : std::string();
    Raise([&](IBrowserEvents& events) { events.DocumentComplete(id, url); });
}

bool FakeBrowserControl::Fail(short id, long statusCode) {
    bool cancel = false;
    Raise([&](IBrowserEvents& events) {
        events.NavigateError(id, std::string(), statusCode, cancel);
    });
    return cancel;
}

bool FakeBrowserControl::Key(short id, int keyCode, int modifiers) {
    bool handled = false;
    Raise([&](IBrowserEvents& events) {
        events.TranslateAccelerator(id, keyCode, modifiers, handled);
    });
    return handled;
}

bool FakeBrowserControl::Alert(short id, const std::string& text) {
    bool handled = false;
    Raise([&](IBrowserEvents& events) { events.ShowMessage(id, text, std::string(), handled); });
    return handled;
}

bool FakeBrowserControl::NewWindow(short id, const std::string& url) {
    bool cancel = true;
    Raise([&](IBrowserEvents& events) { events.NewWindow3(id, cancel, url); });
    return cancel;
}

} // namespace KDAutoUpdate
