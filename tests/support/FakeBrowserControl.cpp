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

// Attribute names are matched in any letter case.
template <class Attributes> auto FindAttribute(Attributes& attributes, const std::string& name) {
    return std::find_if(attributes.begin(), attributes.end(), [&](const auto& attribute) {
        return LowerAscii(attribute.first) == LowerAscii(name);
    });
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

std::optional<std::string>
FakeBrowserControl::Element::GetAttribute(const std::string& name) const {
    const auto it = FindAttribute(m_attributes, name);
    return it == m_attributes.end() ? std::nullopt : std::optional(it->second);
}

void FakeBrowserControl::Element::SetAttribute(const std::string& name, const std::string& value) {
    if (const auto it = FindAttribute(m_attributes, name); it != m_attributes.end())
        it->second = value;
    else
        m_attributes.emplace_back(name, value);
}

// Document.

FakeBrowserControl::ElementPtr FakeBrowserControl::Page::Add(const std::string& id,
                                                             const std::string& tagName) {
    auto element = std::make_shared<Element>(id, tagName);
    m_elements.push_back(element);
    return element;
}

bool FakeBrowserControl::Page::Click(const ElementPtr& element) {
    if (!element)
        return false;
    // A check box changes before the handlers run, so they read its new state. Copies: a
    // handler may replace itself while it runs.
    const bool before = element->m_checked;
    if (element->m_checkBox)
        element->m_checked = !before;
    const std::function<bool()> own = element->m_onClick;
    bool keep = !own || own();
    const std::function<bool(const HtmlElementPtr&)> handler = m_onClick;
    if (handler && !handler(element))
        keep = false;
    if (!keep && element->m_checkBox)
        element->m_checked = before;
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
