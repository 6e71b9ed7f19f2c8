#include "platform/headless/HeadlessElement.h"

#include <algorithm>
#include <string_view>

#include "platform/headless/HtmlNames.h"
#include "platform/headless/HtmlSerializer.h"
#include "platform/headless/HtmlTreeBuilder.h"

namespace KDAutoUpdate {

namespace {

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits a style attribute into (property, value) declarations.
std::vector<std::pair<std::string, std::string>> ParseStyle(std::string_view style) {
    std::vector<std::pair<std::string, std::string>> declarations;
    while (!style.empty()) {
        const std::size_t semicolon = style.find(';');
        const std::string_view item = style.substr(0, semicolon);
        style =
            semicolon == std::string_view::npos ? std::string_view{} : style.substr(semicolon + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos || Trim(item.substr(0, colon)).empty())
            continue;
        declarations.emplace_back(std::string(Trim(item.substr(0, colon))),
                                  std::string(Trim(item.substr(colon + 1))));
    }
    return declarations;
}

bool IsNameEnd(char c) {
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Position of the end tag that closes an element named `name` whose content starts at `from`,
// counting nested elements of the same name; npos when the source has none.
std::size_t FindMatchingEndTag(std::string_view source, std::size_t from, std::string_view name) {
    if (name.empty())
        return std::string_view::npos;
    int open = 0;
    for (std::size_t at = source.find('<', from); at != std::string_view::npos;
         at = source.find('<', at + 1)) {
        const bool closing = at + 1 < source.size() && source[at + 1] == '/';
        const std::size_t nameAt = at + (closing ? 2 : 1);
        if (nameAt + name.size() >= source.size() ||
            !HtmlNames::EqualsIgnoreCase(source.substr(nameAt, name.size()), name) ||
            !IsNameEnd(source[nameAt + name.size()]))
            continue;
        if (!closing) {
            const std::size_t close = source.find('>', nameAt);
            if (close != std::string_view::npos && source[close - 1] != '/')
                ++open;
        } else if (open-- == 0) {
            return at;
        }
    }
    return std::string_view::npos;
}

} // namespace

HeadlessElement::HeadlessElement(std::string localName, bool html)
    : m_localName(std::move(localName)), m_html(html) {}

HeadlessElement::~HeadlessElement() = default;

std::string HeadlessElement::Id() const {
    return GetAttribute("id").value_or(std::string());
}

std::string HeadlessElement::TagName() const {
    return m_html ? HtmlNames::ToUpperAscii(m_localName) : m_localName;
}

const HeadlessElement::Attribute* HeadlessElement::FindAttribute(const std::string& name) const {
    for (const auto& attribute : m_attributes)
        if (HtmlNames::EqualsIgnoreCase(attribute.name, name))
            return &attribute;
    return nullptr;
}

std::optional<std::string> HeadlessElement::GetAttribute(const std::string& name) const {
    if (const Attribute* attribute = FindAttribute(name))
        return attribute->value;
    return std::nullopt;
}

void HeadlessElement::SetAttribute(const std::string& name, const std::string& value) {
    if (name.empty())
        return;
    // An existing attribute keeps its spelling; only its value changes.
    auto it = std::find_if(m_attributes.begin(), m_attributes.end(), [&](const Attribute& a) {
        return HtmlNames::EqualsIgnoreCase(a.name, name);
    });
    if (it != m_attributes.end())
        it->value = value;
    else
        m_attributes.push_back({name, value});
    ForgetAncestorMarkup();
}

void HeadlessElement::ReplaceAttributes(std::vector<Attribute> attributes) {
    m_attributes = std::move(attributes);
    ForgetAncestorMarkup();
}

void HeadlessElement::AppendAttribute(std::string name, std::string value) {
    if (!FindAttribute(name))
        m_attributes.push_back({std::move(name), std::move(value)});
}

std::string HeadlessElement::InnerHTML() const {
    if (m_innerHtmlAsSet)
        return *m_innerHtmlAsSet;
    return HtmlSerializer::InnerHtml(*this);
}

void HeadlessElement::SetInnerHTML(const std::string& html) {
    if (HtmlNames::IsVoidElement(m_localName))
        return;
    DetachChildren();
    m_children.clear();
    if (HtmlNames::IsRawTextElement(m_localName))
        AppendText(html, TextKind::Raw);
    else
        HtmlTreeBuilder::ParseFragmentInto(*this, html);
    ForgetAncestorMarkup();
    m_innerHtmlAsSet = html;
    m_source = SourceSlice{std::make_shared<const std::string>(html), 0, html.size(), 0, {}};
}

void HeadlessElement::SetStyleColor(const std::string& color) {
    auto declarations = ParseStyle(GetAttribute("style").value_or(std::string()));
    bool replaced = false;
    for (auto& [property, value] : declarations)
        if (HtmlNames::EqualsIgnoreCase(property, "color")) {
            value = color;
            replaced = true;
        }
    if (!replaced)
        declarations.emplace_back("color", color);
    std::string style;
    for (const auto& [property, value] : declarations) {
        if (!style.empty())
            style += "; ";
        style += property + ": " + value;
    }
    SetAttribute("style", style);
}

std::string HeadlessElement::StyleColor() const {
    std::string color;
    // The last declaration wins, as in a style sheet.
    for (const auto& [property, value] : ParseStyle(GetAttribute("style").value_or(std::string())))
        if (HtmlNames::EqualsIgnoreCase(property, "color"))
            color = value;
    return color;
}

bool HeadlessElement::Checked() const {
    return m_checked;
}

std::optional<std::string> HeadlessElement::RawSource() const {
    if (!m_source || !m_source->text)
        return std::nullopt;
    const std::string& text = *m_source->text;
    std::size_t end = m_source->end.value_or(std::string::npos);
    if (end == std::string::npos)
        end = FindMatchingEndTag(text, m_source->begin, m_source->tagName);
    // Closed without an end tag of its own (<p>a<p>b): up to where the parser closed it.
    if (end == std::string::npos)
        end = m_source->parserEnd;
    if (m_source->begin > end || end > text.size())
        return std::nullopt;
    return text.substr(m_source->begin, end - m_source->begin);
}

void HeadlessElement::SetOnClick(std::function<bool()> handler) {
    m_onClick = std::move(handler);
}

void HeadlessElement::AppendText(std::string text, TextKind kind) {
    // Adjacent character data forms one text node, as in a DOM.
    if (!m_children.empty())
        if (auto* last = std::get_if<TextNode>(&m_children.back());
            last && last->kind == kind && kind != TextKind::Comment) {
            last->text += text;
            return;
        }
    m_children.emplace_back(TextNode{std::move(text), kind});
}

void HeadlessElement::AppendChild(const std::shared_ptr<HeadlessElement>& child) {
    if (!child)
        return;
    child->m_parent = weak_from_this();
    m_children.emplace_back(child);
}

void HeadlessElement::InitCheckedFromAttributes() {
    m_checked = (IsCheckBox() ||
                 (m_localName == "input" &&
                  HtmlNames::EqualsIgnoreCase(GetAttribute("type").value_or(""), "radio"))) &&
                GetAttribute("checked").has_value();
}

int HeadlessElement::Depth() const {
    int depth = 0;
    for (auto parent = m_parent.lock(); parent; parent = parent->m_parent.lock())
        ++depth;
    return depth;
}

bool HeadlessElement::IsCheckBox() const {
    return m_html && m_localName == "input" &&
           HtmlNames::EqualsIgnoreCase(GetAttribute("type").value_or(std::string()), "checkbox");
}

bool HeadlessElement::IsDisabled() const {
    return GetAttribute("disabled").has_value();
}

void HeadlessElement::ForgetAncestorMarkup() {
    for (auto parent = m_parent.lock(); parent; parent = parent->m_parent.lock())
        parent->m_innerHtmlAsSet.reset();
}

void HeadlessElement::DetachChildren() {
    for (auto& child : m_children)
        if (auto* element = std::get_if<std::shared_ptr<HeadlessElement>>(&child))
            (*element)->m_parent.reset();
}

} // namespace KDAutoUpdate
