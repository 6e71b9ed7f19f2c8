#include "platform/win32/Win32BrowserElement.h"

#include "platform/win32/ComText.h"

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

namespace {

// getAttribute's flags: the value as the page wrote it, the name matched without case.
constexpr LONG kAsWritten = 2;
// setAttribute's flags: the name exactly as given.
constexpr LONG kCaseSensitive = 1;

std::optional<std::string> VariantText(VARIANT& value) {
    if (value.vt == VT_NULL || value.vt == VT_EMPTY)
        return std::nullopt;
    if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, 0, VT_BSTR)))
        return std::nullopt;
    return value.bstrVal ? Narrow(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)))
                         : std::string();
}

} // namespace

std::string Win32BrowserElement::Id() const {
    ComString id;
    m_element->get_id(id.out());
    return id.str();
}

std::string Win32BrowserElement::TagName() const {
    ComString tag;
    m_element->get_tagName(tag.out());
    return tag.str();
}

std::optional<std::string> Win32BrowserElement::GetAttribute(const std::string& name) const {
    ComString attribute(name);
    ComVariant value;
    if (FAILED(m_element->getAttribute(attribute.get(), kAsWritten, value.out())))
        return std::nullopt;
    return VariantText(value.get());
}

void Win32BrowserElement::SetAttribute(const std::string& name, const std::string& value) {
    ComString attribute(name);
    ComVariant text(value);
    m_element->setAttribute(attribute.get(), text.get(), kCaseSensitive);
}

std::string Win32BrowserElement::InnerHTML() const {
    ComString html;
    m_element->get_innerHTML(html.out());
    return html.str();
}

void Win32BrowserElement::SetInnerHTML(const std::string& html) {
    ComString text(html);
    m_element->put_innerHTML(text.get());
}

void Win32BrowserElement::SetStyleColor(const std::string& color) {
    ComPtr<IHTMLStyle> style;
    if (FAILED(m_element->get_style(&style)) || !style)
        return;
    ComVariant value(color);
    style->put_color(value.get());
}

std::string Win32BrowserElement::StyleColor() const {
    ComPtr<IHTMLStyle> style;
    ComVariant value;
    if (FAILED(m_element->get_style(&style)) || !style || FAILED(style->get_color(value.out())))
        return {};
    return VariantText(value.get()).value_or(std::string());
}

bool Win32BrowserElement::Checked() const {
    ComPtr<IHTMLInputElement> input;
    VARIANT_BOOL checked = VARIANT_FALSE;
    if (FAILED(m_element.As(&input)) || FAILED(input->get_checked(&checked)))
        return false;
    return checked != VARIANT_FALSE;
}

std::optional<std::string> Win32BrowserElement::RawSource() const {
    ComString text;
    ComPtr<IHTMLScriptElement> script;
    if (SUCCEEDED(m_element.As(&script))) {
        if (FAILED(script->get_text(text.out())))
            return std::nullopt;
    } else if (FAILED(m_element->get_outerHTML(text.out()))) {
        return std::nullopt;
    }
    return text.str();
}

void Win32BrowserElement::SetOnClick(std::function<bool()> handler) {
    ComPtr<IHTMLElement2> element;
    if (!handler || FAILED(m_element.As(&element))) {
        m_click.Unbind();
        return;
    }
    m_click.Bind(element, [handler = std::move(handler)](IHTMLEventObj*) { return handler(); });
}

} // namespace KDAutoUpdate
