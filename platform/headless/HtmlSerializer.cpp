#include "platform/headless/HtmlSerializer.h"

#include "platform/headless/HeadlessElement.h"
#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate {

namespace {

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

std::string Escape(const std::string& text, bool attribute) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&')
            result += "&amp;";
        else if (c == '"' && attribute)
            result += "&quot;";
        else if (c == '<' && !attribute)
            result += "&lt;";
        else if (c == '>' && !attribute)
            result += "&gt;";
        else if (text.compare(i, kNoBreakSpace.size(), kNoBreakSpace) == 0) {
            result += "&nbsp;";
            ++i;
        } else
            result += c;
    }
    return result;
}

} // namespace

std::string HtmlSerializer::EscapeText(const std::string& text) {
    return Escape(text, false);
}

std::string HtmlSerializer::EscapeAttribute(const std::string& value) {
    return Escape(value, true);
}

std::string HtmlSerializer::InnerHtml(const HeadlessElement& element) {
    std::string html;
    for (const auto& child : element.Children()) {
        if (const auto* text = std::get_if<HeadlessElement::TextNode>(&child)) {
            switch (text->kind) {
            case HeadlessElement::TextKind::Text:
                html += EscapeText(text->text);
                break;
            case HeadlessElement::TextKind::Raw:
                html += text->text;
                break;
            case HeadlessElement::TextKind::Comment:
                html += "<!--" + text->text + "-->";
                break;
            }
        } else if (const auto& childElement = std::get<HeadlessElementPtr>(child)) {
            html += OuterHtml(*childElement);
        }
    }
    return html;
}

std::string HtmlSerializer::OuterHtml(const HeadlessElement& element) {
    std::string html = "<" + element.LocalName();
    for (const auto& attribute : element.Attributes())
        html += " " + attribute.name + "=\"" + EscapeAttribute(attribute.value) + "\"";
    html += ">";
    if (element.IsHtml() && HtmlNames::IsVoidElement(element.LocalName()))
        return html;
    // Through the element, so markup set with SetInnerHTML comes back as it was given.
    html += element.InnerHTML();
    html += "</" + element.LocalName() + ">";
    return html;
}

} // namespace KDAutoUpdate
