#include "platform/headless/HtmlTextExtractor.h"

#include <string_view>

#include "platform/headless/HeadlessElement.h"
#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate {

namespace {

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view candidate : names)
        if (name == candidate)
            return true;
    return false;
}

bool IsBlock(std::string_view name) {
    return IsOneOf(name, {"address",  "article",    "aside",   "blockquote", "center", "dd",
                          "details",  "dialog",     "dir",     "div",        "dl",     "dt",
                          "fieldset", "figcaption", "figure",  "footer",     "form",   "h1",
                          "h2",       "h3",         "h4",      "h5",         "h6",     "header",
                          "hr",       "li",         "main",    "menu",       "nav",    "ol",
                          "p",        "pre",        "section", "summary",    "table",  "tr",
                          "ul",       "caption",    "body",    "html",       "tbody",  "thead",
                          "tfoot"});
}

bool IsHidden(const HeadlessElement& element) {
    if (IsOneOf(element.LocalName(),
                {"script", "style", "head", "title", "template", "noscript", "meta", "link"}) ||
        element.GetAttribute("hidden"))
        return true;
    std::string style = HtmlNames::ToLowerAscii(element.GetAttribute("style").value_or(""));
    std::erase_if(style, [](char c) { return c == ' ' || c == '\t'; });
    return style.find("display:none") != std::string::npos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

class TextWriter {
public:
    // Collapses runs of white space; inside <pre> keeps them.
    void Write(std::string_view text, bool preformatted) {
        for (char c : text) {
            if (preformatted) {
                if (c == '\n')
                    NewLine();
                else if (c != '\r')
                    Put(c);
                continue;
            }
            if (IsSpace(c)) {
                m_pendingSpace = true;
                continue;
            }
            if (m_pendingSpace && !AtSpace())
                m_text += ' ';
            m_pendingSpace = false;
            Put(c);
        }
    }
    void Word(std::string_view text) {
        if (m_pendingSpace && !AtSpace())
            m_text += ' ';
        m_pendingSpace = false;
        m_text += text;
    }
    // The next word starts after a space (controls stand apart from their neighbours).
    void Separate() { m_pendingSpace = true; }
    void NewLine() {
        m_pendingSpace = false;
        while (!m_text.empty() && m_text.back() == ' ')
            m_text.pop_back();
        m_text += '\n';
    }
    // Starts a line unless one has just begun; keeps at most one empty line.
    void Break() {
        m_pendingSpace = false;
        while (!m_text.empty() && m_text.back() == ' ')
            m_text.pop_back();
        if (!m_text.empty() && m_text.back() != '\n')
            m_text += '\n';
    }
    std::string Result() const {
        std::string text = m_text;
        while (!text.empty() && IsSpace(text.back()))
            text.pop_back();
        std::size_t begin = 0;
        while (begin < text.size() && text[begin] == '\n')
            ++begin;
        return text.substr(begin);
    }

private:
    bool AtSpace() const { return m_text.empty() || m_text.back() == '\n' || m_text.back() == ' '; }
    void Put(char c) { m_text += c; }

    std::string m_text;
    bool m_pendingSpace = false;
};

void WriteElement(const HeadlessElement& element, TextWriter& out, bool preformatted);

void WriteChildren(const HeadlessElement& element, TextWriter& out, bool preformatted) {
    for (const auto& child : element.Children()) {
        if (const auto* text = std::get_if<HeadlessElement::TextNode>(&child)) {
            if (text->kind == HeadlessElement::TextKind::Text)
                out.Write(text->text, preformatted);
        } else if (const auto& childElement = std::get<HeadlessElementPtr>(child)) {
            if (!IsHidden(*childElement))
                WriteElement(*childElement, out, preformatted);
        }
    }
}

void WriteElement(const HeadlessElement& element, TextWriter& out, bool preformatted) {
    const std::string& name = element.LocalName();
    if (name == "br") {
        out.NewLine();
        return;
    }
    if (name == "img") {
        if (auto alt = element.GetAttribute("alt"); alt && !alt->empty())
            out.Word(*alt);
        return;
    }
    if (name == "input") {
        const std::string type = HtmlNames::ToLowerAscii(element.GetAttribute("type").value_or(""));
        if (type == "hidden")
            return;
        out.Separate();
        if (type == "checkbox")
            out.Word(element.Checked() ? "[x]" : "[ ]");
        else if (type == "radio")
            out.Word(element.Checked() ? "(*)" : "( )");
        else
            out.Word("[" + element.GetAttribute("value").value_or("") + "]");
        out.Separate();
        return;
    }
    const bool block = IsBlock(name);
    if (block)
        out.Break();
    if (name == "li")
        out.Word("* ");
    if (name == "button") {
        out.Separate();
        out.Word("[");
    }
    WriteChildren(element, out, preformatted || name == "pre" || name == "textarea");
    if (name == "button")
        out.Word("]");
    if (name == "button" || name == "td" || name == "th")
        out.Separate();
    if (block)
        out.Break();
}

} // namespace

std::string HtmlTextExtractor::VisibleText(const HeadlessElement& element) {
    TextWriter out;
    WriteChildren(element, out, element.LocalName() == "pre");
    return out.Result();
}

} // namespace KDAutoUpdate
