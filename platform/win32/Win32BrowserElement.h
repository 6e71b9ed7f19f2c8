#pragma once
// An element of a page in the WebBrowser control, read and written through the engine's own
// DOM (IHTMLElement). An island's source is the text the engine keeps for it: a script
// element's text exactly as the page carries it, any other element's outer HTML.

#include <windows.h>

#include <mshtml.h>
#include <wrl/client.h>

#include "platform/BrowserControl.h"
#include "platform/win32/Win32BrowserClickBinding.h"

namespace KDAutoUpdate {

class Win32BrowserElement final : public IHtmlElement {
public:
    explicit Win32BrowserElement(Microsoft::WRL::ComPtr<IHTMLElement> element)
        : m_element(std::move(element)) {}

    std::string Id() const override;
    std::string TagName() const override;
    std::optional<std::string> GetAttribute(const std::string& name) const override;
    void SetAttribute(const std::string& name, const std::string& value) override;
    std::string InnerHTML() const override;
    void SetInnerHTML(const std::string& html) override;
    void SetStyleColor(const std::string& color) override;
    std::string StyleColor() const override;
    bool Checked() const override;
    std::optional<std::string> RawSource() const override;
    // Attached beside the page's own handlers, for as long as this object binds it.
    void SetOnClick(std::function<bool()> handler) override;

private:
    Microsoft::WRL::ComPtr<IHTMLElement> m_element;
    Win32BrowserClickBinding<IHTMLElement2> m_click;
};

} // namespace KDAutoUpdate
