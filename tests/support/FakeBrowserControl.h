#pragma once
// A browser control whose pages the test writes by hand. It records what the window asks of
// it (navigations, the visible browser, painting locks, moves) and lets the test complete or
// fail navigations, press keys and click elements. Events are raised only by the test, never
// from inside a call of the window.

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
        Element(std::string id, std::string tagName);

        // Test side: build and click.
        Element& Attr(const std::string& name, const std::string& value);
        // A check box toggles when clicked, and toggles back when the click is cancelled.
        Element& MakeCheckBox(bool checked);
        Element& SetRawSource(std::optional<std::string> source) {
            m_rawSource = std::move(source);
            return *this;
        }
        bool HasOnClick() const { return static_cast<bool>(m_onClick); }

        // IHtmlElement
        std::string Id() const override { return m_id; }
        std::string TagName() const override { return m_tagName; }
        std::optional<std::string> GetAttribute(const std::string& name) const override;
        void SetAttribute(const std::string& name, const std::string& value) override;
        std::string InnerHTML() const override { return m_innerHTML; }
        void SetInnerHTML(const std::string& html) override { m_innerHTML = html; }
        void SetStyleColor(const std::string& color) override { m_color = color; }
        std::string StyleColor() const override { return m_color; }
        bool Checked() const override { return m_checked; }
        std::optional<std::string> RawSource() const override { return m_rawSource; }
        void SetOnClick(std::function<bool()> handler) override { m_onClick = std::move(handler); }

    private:
        friend class Page;
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
        ElementPtr Add(const std::string& id, const std::string& tagName = "span");
        ElementPtr Find(const std::string& id) const {
            for (const auto& e : m_elements)
                if (!id.empty() && e->Id() == id)
                    return e;
            return nullptr;
        }
        // The user clicks `element`: its own handler runs, then the document's with `element`
        // as the source. Answers whether the default action happened (no handler cancelled).
        bool Click(const ElementPtr& element);
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

    FakeBrowserControl();
    ~FakeBrowserControl() override;

    // Test side: events. Each does nothing when no event sink is set.
    // Makes `doc` the browser's document and raises DocumentComplete.
    void Complete(short id, const PagePtr& doc);
    // Raises NavigateError; answers the cancel flag as the window left it.
    bool Fail(short id, long statusCode);
    // A key stroke; answers whether the window swallowed it.
    bool Key(short id, int keyCode, int modifiers);
    // A script message box; answers whether the window handled it.
    bool Alert(short id, const std::string& text);
    // A request for a new window; answers the cancel flag (it starts as true here, so the
    // window must clear it to allow the window).
    bool NewWindow(short id, const std::string& url);

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
    static int DestroyedDuringEvent();

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
    template <class F> void Raise(F&& raise);

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
