#include "platform/headless/MarkupBounds.h"

#include <string_view>

#include "platform/headless/HtmlNames.h"
#include "platform/headless/OpenElementStack.h"

namespace KDAutoUpdate::MarkupBounds {

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Elements whose content the tokenizer reads as text up to their own end tag.
bool IsRawText(std::string_view name) {
    for (std::string_view raw :
         {"script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title"})
        if (name == raw)
            return true;
    return false;
}

// Reads the markup as an HTML tokenizer does, as far as tags, comments and raw text go, and
// hands the tags to the stack of open elements.
class Scanner {
public:
    explicit Scanner(std::string_view html) : m_html(html) {}

    bool Run() {
        while (m_pos < m_html.size()) {
            const std::size_t open = m_html.find('<', m_pos);
            // Text opens again the formatting elements that others' ends closed.
            if (open != m_pos && !Count(m_open.Text()))
                return false;
            if (open == std::string_view::npos || open + 1 >= m_html.size())
                return true;
            m_pos = open + 1;
            const char next = m_html[m_pos];
            if (IsLetter(next)) {
                if (!StartTag())
                    return false;
            } else if (next == '/') {
                if (!EndTag())
                    return false;
            } else if (next == '!') {
                Declaration();
            } else if (next == '?') {
                SkipPast(">");
            }
            // Any other '<' is text.
        }
        return true;
    }

private:
    // The tag's name in lower case, in a buffer that every tag reuses.
    const std::string& TagName() {
        m_name.clear();
        while (m_pos < m_html.size() && !IsSpace(m_html[m_pos]) && m_html[m_pos] != '/' &&
               m_html[m_pos] != '>')
            m_name.push_back(HtmlNames::LowerAscii(m_html[m_pos++]));
        return m_name;
    }

    // Past the attributes to the tag's '>' (quoted values may hold '>'); whether it was "/>".
    // Without an end the tag is no tag, and nothing follows it.
    bool SkipAttributes(bool& complete) {
        complete = false;
        bool selfClosing = false;
        while (m_pos < m_html.size()) {
            const char c = m_html[m_pos];
            if (c == '>') {
                ++m_pos;
                complete = true;
                return selfClosing;
            }
            selfClosing = c == '/';
            if (c == '=') {
                ++m_pos;
                while (m_pos < m_html.size() && IsSpace(m_html[m_pos]))
                    ++m_pos;
                if (m_pos < m_html.size() && (m_html[m_pos] == '"' || m_html[m_pos] == '\'')) {
                    const std::size_t close = m_html.find(m_html[m_pos], m_pos + 1);
                    m_pos = close == std::string_view::npos ? m_html.size() : close + 1;
                } else {
                    // An unquoted value runs to a blank or the '>', a '/' within it included.
                    while (m_pos < m_html.size() && !IsSpace(m_html[m_pos]) && m_html[m_pos] != '>')
                        ++m_pos;
                }
                continue;
            }
            ++m_pos;
        }
        return false;
    }

    // Adds elements the parser made; false past a bound.
    bool Count(int made) {
        m_elements += made;
        return m_elements <= kMaxElements && m_open.Depth() <= kMaxDepth;
    }

    bool StartTag() {
        const std::string name = TagName(); // kept: raw text reads on past other tags
        bool complete = false;
        const std::size_t attributesStart = m_pos;
        const bool selfClosing = SkipAttributes(complete);
        m_attributes = m_html.substr(attributesStart, m_pos - attributesStart);
        if (!complete)
            return true;
        // A tag of foreign content (an SVG <title>, a MathML <style>) starts no raw text.
        const bool foreign = m_open.InForeignContent();
        if (!Count(m_open.StartTag(name, selfClosing, m_attributes)))
            return false;
        if (foreign || !m_open.InsertsRawText(name))
            return true;
        if (name == "plaintext") {
            m_pos = m_html.size(); // the rest is text
        } else if (IsRawText(name)) {
            SkipRawText(name);
        }
        return true;
    }

    // False when what the end tag made goes past a bound.
    bool EndTag() {
        ++m_pos; // the '/'
        if (m_pos >= m_html.size())
            return true;
        if (!IsLetter(m_html[m_pos])) {
            SkipPast(">"); // "</>" is nothing, "</3" a comment
            return true;
        }
        const std::string& name = TagName();
        bool complete = false;
        SkipAttributes(complete);
        return !complete || Count(m_open.EndTag(name));
    }

    // To the end tag of a raw-text element; the end tag closes it.
    void SkipRawText(const std::string& name) {
        for (std::size_t at = m_html.find("</", m_pos); at != std::string_view::npos;
             at = m_html.find("</", at + 2)) {
            const std::size_t after = at + 2 + name.size();
            if (after < m_html.size() &&
                HtmlNames::EqualsIgnoreCase(m_html.substr(at + 2, name.size()), name) &&
                (IsSpace(m_html[after]) || m_html[after] == '/' || m_html[after] == '>')) {
                m_pos = at + 1;
                EndTag();
                return;
            }
        }
        m_pos = m_html.size();
    }

    // "<!--" comments (which "<!-->" and "<!--->" end at once), CDATA sections of foreign
    // content, and the rest ("<!DOCTYPE ...>") up to the next '>'.
    void Declaration() {
        const std::string_view rest = m_html.substr(m_pos + 1);
        if (rest.substr(0, 2) == "--") {
            m_pos += 3;
            if (m_html.substr(m_pos, 1) == ">" || m_html.substr(m_pos, 2) == "->") {
                SkipPast(">");
                return;
            }
            // "--!>" ends it too, when it comes before the first "-->".
            const std::size_t plain = m_html.find("-->", m_pos);
            const std::size_t limit = plain == std::string_view::npos ? m_html.size() : plain + 3;
            const std::size_t bang = m_html.substr(0, limit).find("--!>", m_pos);
            const std::size_t end = std::min(plain, bang);
            m_pos = end == std::string_view::npos ? m_html.size() : m_html.find('>', end) + 1;
            return;
        }
        if (rest.substr(0, 7) == "[CDATA[" && m_open.InForeignContent()) {
            SkipPast("]]>");
            return;
        }
        SkipPast(">");
    }

    void SkipPast(std::string_view end) {
        const std::size_t at = m_html.find(end, m_pos);
        m_pos = at == std::string_view::npos ? m_html.size() : at + end.size();
    }

    std::string_view m_html;
    std::string m_name;
    std::string_view m_attributes; // of the last start tag
    std::size_t m_pos = 0;
    int m_elements = 0;
    OpenElementStack m_open;
};

} // namespace

bool IsWithinBounds(const std::string& html) {
    return Scanner(html).Run();
}

} // namespace KDAutoUpdate::MarkupBounds
