#pragma once
// The HTML browser control of the messages window: several browser instances in one control,
// each named by a 16-bit id, and the HTML document interface the window uses.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "FormView.h"

namespace KDAutoUpdate {

class IHtmlElement;
using HtmlElementPtr = std::shared_ptr<IHtmlElement>;

class IHtmlElement {
public:
    virtual ~IHtmlElement() = default;
    virtual std::string Id() const = 0;
    virtual std::string TagName() const = 0;
    // Case-insensitive attribute lookup; nullopt when absent.
    virtual std::optional<std::string> GetAttribute(const std::string& name) const = 0;
    virtual void SetAttribute(const std::string& name, const std::string& value) = 0;
    virtual std::string InnerHTML() const = 0;
    virtual void SetInnerHTML(const std::string& html) = 0;
    virtual void SetStyleColor(const std::string& color) = 0;
    virtual std::string StyleColor() const = 0;
    // A check box's state.
    virtual bool Checked() const = 0;
    // The element's text exactly as it stands in the page's source (for an XML data island:
    // element and attribute names keep their case). nullopt when it cannot be had.
    virtual std::optional<std::string> RawSource() const = 0;
    // The element's own click; the answer keeps (true) or cancels (false) the default action.
    virtual void SetOnClick(std::function<bool()> handler) = 0;
};

class IHtmlDocument {
public:
    virtual ~IHtmlDocument() = default;
    virtual std::string Url() const = 0;
    virtual HtmlElementPtr GetElementById(const std::string& id) = 0;
    // Every click in the document, with the innermost clicked element as the event's source.
    virtual void SetOnClick(std::function<bool(const HtmlElementPtr& source)> handler) = 0;
};
using HtmlDocumentPtr = std::shared_ptr<IHtmlDocument>;

class IBrowserEvents {
public:
    virtual ~IBrowserEvents() = default;
    virtual void DocumentComplete(short id, const std::string& url) = 0;
    virtual void NavigateError(short id, const std::string& url, long statusCode, bool& cancel) = 0;
    virtual void ShowMessage(short id, const std::string& text, const std::string& caption,
                             bool& handled) = 0;
    virtual void NewWindow3(short id, bool& cancel, const std::string& url) = 0;
    // modifiers: bit 1 Shift, bit 2 Ctrl, bit 4 Alt.
    virtual void TranslateAccelerator(short id, int keyCode, int modifiers, bool& handled) = 0;
};

class IBrowserControl {
public:
    virtual ~IBrowserControl() = default;
    virtual void SetEvents(IBrowserEvents* events) = 0;
    virtual void SetHostUIFlags(long flags) = 0;
    virtual bool AddBrowser(short& id) = 0;
    virtual bool Navigate(short id, const std::string& url) = 0;
    virtual bool ShowBrowser(short id) = 0;
    virtual short VisibleBrowser() const = 0;
    virtual HtmlDocumentPtr Document(short id) = 0;
    virtual WindowHandle Handle() const = 0;
    virtual void Move(const TwipRect& rect) = 0;
    virtual TwipRect Bounds() const = 0;
    // Suspends (true) or resumes (false) painting.
    virtual void LockPainting(bool lock) = 0;
    virtual bool IsPaintingLocked() const = 0;
};

} // namespace KDAutoUpdate
