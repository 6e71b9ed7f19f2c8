#pragma once
// The page loaded in one browser of the WebBrowser control, through the engine's document
// (IHTMLDocument2, IHTMLDocument3). A click anywhere reaches the document's handler after the
// engine has bubbled it through the clicked element's own handlers and its ancestors'; the
// handler's source is the innermost clicked element.

#include <windows.h>

#include <mshtml.h>
#include <wrl/client.h>

#include "platform/BrowserControl.h"
#include "platform/win32/Win32BrowserClickBinding.h"

namespace KDAutoUpdate {

class Win32BrowserDocument final : public IHtmlDocument {
public:
    explicit Win32BrowserDocument(Microsoft::WRL::ComPtr<IHTMLDocument2> document)
        : m_document(std::move(document)) {}

    std::string Url() const override;
    HtmlElementPtr GetElementById(const std::string& id) override;
    // Attached beside the page's own handlers, for as long as this object binds it.
    void SetOnClick(std::function<bool(const HtmlElementPtr& source)> handler) override;

private:
    Microsoft::WRL::ComPtr<IHTMLDocument2> m_document;
    Win32BrowserClickBinding<IHTMLDocument3> m_click;
};

} // namespace KDAutoUpdate
