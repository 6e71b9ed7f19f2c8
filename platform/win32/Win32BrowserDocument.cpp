#include "platform/win32/Win32BrowserDocument.h"

#include "platform/win32/ComText.h"
#include "platform/win32/Win32BrowserElement.h"

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

namespace {

// The event being dispatched, from the document's window.
ComPtr<IHTMLEventObj> CurrentEvent(IHTMLDocument2* document) {
    ComPtr<IHTMLWindow2> window;
    ComPtr<IHTMLEventObj> event;
    if (document && SUCCEEDED(document->get_parentWindow(&window)) && window)
        window->get_event(&event);
    return event;
}

} // namespace

std::string Win32BrowserDocument::Url() const {
    ComString url;
    m_document->get_URL(url.out());
    return url.str();
}

HtmlElementPtr Win32BrowserDocument::GetElementById(const std::string& id) {
    ComPtr<IHTMLDocument3> document;
    ComPtr<IHTMLElement> element;
    ComString name(id);
    if (FAILED(m_document.As(&document)) ||
        FAILED(document->getElementById(name.get(), &element)) || !element)
        return nullptr;
    return std::make_shared<Win32BrowserElement>(element);
}

void Win32BrowserDocument::SetOnClick(std::function<bool(const HtmlElementPtr& source)> handler) {
    ComPtr<IHTMLDocument3> document;
    if (!handler || FAILED(m_document.As(&document))) {
        m_click.Unbind();
        return;
    }
    // The page holds the handler; the handler holds the document only weakly through COM.
    IHTMLDocument2* page = m_document.Get();
    m_click.Bind(document, [page, handler = std::move(handler)](IHTMLEventObj* given) {
        const ComPtr<IHTMLEventObj> event = given ? ComPtr<IHTMLEventObj>(given) : CurrentEvent(page);
        ComPtr<IHTMLElement> clicked;
        if (event)
            event->get_srcElement(&clicked);
        HtmlElementPtr source;
        if (clicked)
            source = std::make_shared<Win32BrowserElement>(clicked);
        const bool keep = handler(source);
        if (!keep && event && !given) {
            // The click handler cancels through the event it was given; this one it found.
            VARIANT no;
            VariantInit(&no);
            no.vt = VT_BOOL;
            no.boolVal = VARIANT_FALSE;
            event->put_returnValue(no);
        }
        return keep;
    });
}

} // namespace KDAutoUpdate
