#pragma once
// A browser control whose pages the test writes by hand. It records what the window asks of
// it (navigations, the visible browser, painting locks, moves) and lets the test complete or
// fail navigations, press keys and click elements. Events are raised only by the test, never
// from inside a call of the window.

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BrowserControl.h"

namespace KDAutoUpdate {

class FakeBrowserControl : public IBrowserControl {
public:
    class Page;
    class Element : public IHtmlElement {
    public:
        Element(std::string id, std::string tagName)
            : m_id(std::move(id)), m_tagName(std::move(tagName)) {
            if (!m_id.empty())
                m_attributes.emplace_back("id", m_id);
        }

        // Test side: build and click.
        Element& Attr(const std::string& name, const std::string& value) {
            SetAttribute(name, value);
            return *this;
        }
        // A check box toggles when clicked, and toggles back when the click is cancelled.
        Element& MakeCheckBox(bool checked) {
            m_checkBox = true;
            m_checked = checked;
            return *this;
        }
        Element& SetRawSource(std::optional<std::string> source) {
            m_rawSource = std::move(source);
            return *this;
        }
        bool HasOnClick() const { return static_cast<bool>(m_onClick); }

        // IHtmlElement
        std::string Id() const override { return m_id; }
        std::string TagName() const override { return m_tagName; }
        std::optional<std::string> GetAttribute(const std::string& name) const override {
            const auto it = Find(m_attributes, name);
            return it == m_attributes.end() ? std::nullopt : std::optional(it->second);
        }
        void SetAttribute(const std::string& name, const std::string& value) override {
            if (const auto it = Find(m_attributes, name); it != m_attributes.end())
                it->second = value;
            else
                m_attributes.emplace_back(name, value);
        }
        std::string InnerHTML() const override { return m_innerHTML; }
        void SetInnerHTML(const std::string& html) override { m_innerHTML = html; }
        void SetStyleColor(const std::string& color) override { m_color = color; }
        std::string StyleColor() const override { return m_color; }
        bool Checked() const override { return m_checked; }
        std::optional<std::string> RawSource() const override { return m_rawSource; }
        void SetOnClick(std::function<bool()> handler) override { m_onClick = std::move(handler); }

    private:
        friend class Page;
        // Attribute names are matched in any letter case.
        template <class Attributes>
        static auto Find(Attributes& attributes, std::string name) -> decltype(attributes.begin()) {
            const auto lower = [](std::string text) {
                for (char& c : text)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                return text;
            };
            return std::find_if(attributes.begin(), attributes.end(),
                                [&](const auto& a) { return lower(a.first) == lower(name); });
        }
        std::string m_id;
        std::string m_tagName;
        std::vector<std::pair<std::string, std::string>> m_attributes; // names as written
        std::string m_innerHTML;
        std::string m_color;
        bool m_checked = false;
        bool m_checkBox = false;
        std::optional<std::string> m_rawSource;
        std::function<bool()> m_onClick;
    };
    using ElementPtr = std::shared_ptr<Element>;

    class Page : public IHtmlDocument {
    public:
        explicit Page(std::string url = {}) : m_url(std::move(url)) {}

        // Adds an element (found by id when it has one).
        ElementPtr Add(const std::string& id, const std::string& tagName = "span") {
            return m_elements.emplace_back(std::make_shared<Element>(id, tagName));
        }
        ElementPtr Find(const std::string& id) const {
            for (const auto& e : m_elements)
                if (!id.empty() && e->Id() == id)
                    return e;
            return nullptr;
        }
        // The user clicks `element`: its own handler runs, then the document's with `element`
        // as the source. Answers whether the default action happened (no handler cancelled).
        bool Click(const ElementPtr& element) {
            if (!element)
                return false;
            // A check box changes before the handlers run, so they read its new state. Copies:
            // a handler may replace itself while it runs.
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
        bool HasOnClick() const { return static_cast<bool>(m_onClick); }

        // IHtmlDocument
        std::string Url() const override { return m_url; }
        HtmlElementPtr GetElementById(const std::string& id) override { return Find(id); }
        void SetOnClick(std::function<bool(const HtmlElementPtr& source)> handler) override {
            m_onClick = std::move(handler);
        }

    private:
        std::string m_url;
        std::vector<ElementPtr> m_elements;
        std::function<bool(const HtmlElementPtr&)> m_onClick;
    };
    using PagePtr = std::shared_ptr<Page>;

    struct Navigation {
        short id = 0;
        std::string url;
    };

    FakeBrowserControl() : m_handle(s_nextHandle += 0x10) {}
    ~FakeBrowserControl() override {
        if (m_eventDepth > 0)
            ++s_destroyedDuringEvent;
    }

    // Test side: events. Each does nothing when no event sink is set.
    // Makes `doc` the browser's document and raises DocumentComplete.
    void Complete(short id, const PagePtr& doc) {
        m_documents[id] = doc;
        const std::string url = doc ? doc->Url() : std::string();
        Raise([&](IBrowserEvents& events) { events.DocumentComplete(id, url); });
    }
    // Raises NavigateError; answers the cancel flag as the window left it.
    bool Fail(short id, long statusCode) {
        bool cancel = false;
        Raise([&](IBrowserEvents& e) { e.NavigateError(id, std::string(), statusCode, cancel); });
        return cancel;
    }
    // A key stroke; answers whether the window swallowed it.
    bool Key(short id, int keyCode, int modifiers) {
        bool handled = false;
        Raise([&](IBrowserEvents& e) { e.TranslateAccelerator(id, keyCode, modifiers, handled); });
        return handled;
    }
    // A script message box; answers whether the window handled it.
    bool Alert(short id, const std::string& text) {
        bool handled = false;
        Raise([&](IBrowserEvents& e) { e.ShowMessage(id, text, std::string(), handled); });
        return handled;
    }
    // A request for a new window; answers the cancel flag (it starts as true here, so the
    // window must clear it to allow the window).
    bool NewWindow(short id, const std::string& url) {
        bool cancel = true;
        Raise([&](IBrowserEvents& e) { e.NewWindow3(id, cancel, url); });
        return cancel;
    }

    // Recordings.
    long HostUIFlags() const { return m_hostUIFlags; }
    const std::vector<short>& AddedBrowsers() const { return m_added; }
    const std::vector<Navigation>& Navigations() const { return m_navigations; }
    const std::vector<bool>& LockCalls() const { return m_lockCalls; }
    const std::vector<TwipRect>& Moves() const { return m_moves; }
    // Expires when the control is destroyed.
    std::weak_ptr<void> Lifetime() const { return m_lifetime; }
    // Controls of this program destroyed while one of their events was being delivered: a
    // fault of the window, which must keep its control alive until the callback returns.
    static int DestroyedDuringEvent() { return s_destroyedDuringEvent; }

    // IBrowserControl
    void SetEvents(IBrowserEvents* events) override { m_events = events; }
    void SetHostUIFlags(long flags) override { m_hostUIFlags = flags; }
    bool AddBrowser(short& id) override {
        m_added.push_back(id = m_nextId++);
        return true;
    }
    bool Navigate(short id, const std::string& url) override {
        m_navigations.push_back({id, url});
        return true;
    }
    bool ShowBrowser(short id) override {
        m_visible = id;
        return true;
    }
    short VisibleBrowser() const override { return m_visible; }
    HtmlDocumentPtr Document(short id) override {
        const auto it = m_documents.find(id);
        return it == m_documents.end() ? nullptr : it->second;
    }
    WindowHandle Handle() const override { return m_handle; }
    void Move(const TwipRect& rect) override { m_moves.push_back(m_bounds = rect); }
    TwipRect Bounds() const override { return m_bounds; }
    void LockPainting(bool lock) override { m_lockCalls.push_back(m_locked = lock); }
    bool IsPaintingLocked() const override { return m_locked; }

private:
    // Raises one event through `raise` when a sink is set, counting it.
    template <class F> void Raise(F&& raise) {
        if (!m_events)
            return;
        ++m_eventDepth;
        raise(*m_events);
        // Written after the call on purpose: a control freed by its own callback is caught by
        // the sanitizers here, and by DestroyedDuringEvent() without them.
        --m_eventDepth;
    }

    static inline int s_destroyedDuringEvent = 0;
    static inline WindowHandle s_nextHandle = 0x5000;

    IBrowserEvents* m_events = nullptr;
    long m_hostUIFlags = 0;
    short m_nextId = 1;
    short m_visible = 0;
    std::vector<short> m_added;
    std::vector<Navigation> m_navigations;
    std::vector<bool> m_lockCalls;
    std::vector<TwipRect> m_moves;
    std::map<short, PagePtr> m_documents;
    TwipRect m_bounds;
    bool m_locked = false;
    WindowHandle m_handle;
    int m_eventDepth = 0;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace KDAutoUpdate
