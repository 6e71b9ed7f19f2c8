#include "platform/headless/OpenElementStack.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate {

namespace {

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Every tag asks about the long lists: a hashed set answers them at once.
using NameSet = std::unordered_set<std::string_view>;

// Elements that end the search for the element of an end tag like </span>, and those that end
// the search for an <li>, <dd> or <dt> to close (all of them but address, div and p).
bool IsSpecial(std::string_view n) {
    static const NameSet names{
        "address", "applet", "area", "article", "aside", "base", "basefont", "bgsound",
        "blockquote", "body", "br", "button", "caption", "center", "col", "colgroup", "dd",
        "details", "dir", "div", "dl", "dt", "embed", "fieldset", "figcaption", "figure", "footer",
        "form", "frame", "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head", "header", "hgroup",
        "hr", "html", "iframe", "img", "input", "keygen", "li", "link", "listing", "main",
        "marquee", "menu", "meta", "nav", "noembed", "noframes", "noscript", "object", "ol", "p",
        "param", "plaintext", "pre", "script", "section", "select", "source", "style", "summary",
        "table", "tbody", "td", "template", "textarea", "tfoot", "th", "thead", "title", "tr",
        "track", "ul", "wbr", "xmp",
        // the islands of HTML in SVG and MathML
        "foreignobject", "desc", "mi", "mo", "mn", "ms", "mtext", "annotation-xml"};
    return names.count(n) != 0;
}

bool IsDefaultScopeBoundary(std::string_view n) {
    return OneOf(n, {"applet", "caption", "html", "table", "td", "th", "marquee", "object",
                     "template", "frameset"});
}

bool IsTableScopeBoundary(std::string_view n) {
    return OneOf(n, {"html", "table", "template", "frameset"});
}

// Start tags that close an open <p> first.
bool ClosesParagraph(std::string_view n) {
    static const NameSet names{
        "address", "article",   "aside",    "blockquote", "center", "details", "dialog",  "dir",
        "div",     "dl",        "fieldset", "figcaption", "figure", "footer",  "header",  "hgroup",
        "main",    "menu",      "nav",      "ol",         "p",      "section", "summary", "ul",
        "h1",      "h2",        "h3",       "h4",         "h5",     "h6",      "pre",     "listing",
        "form",    "plaintext", "hr",       "xmp",        "li",     "dd",      "dt"};
    return names.count(n) != 0;
}

bool IsHeading(std::string_view n) {
    return OneOf(n, {"h1", "h2", "h3", "h4", "h5", "h6"});
}

bool IsTableSection(std::string_view n) {
    return OneOf(n, {"tbody", "thead", "tfoot"});
}

// What the head may hold; any other start tag ends it.
bool BelongsInHead(std::string_view n) {
    return OneOf(n, {"base", "basefont", "bgsound", "link", "meta", "title", "noscript", "noframes",
                     "style", "script", "template"});
}

// HTML start tags that end foreign content.
bool BreaksOutOfForeignContent(std::string_view n) {
    static const NameSet names{
        "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
        "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
        "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
        "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
        "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"};
    return names.count(n) != 0;
}

bool IsFormatting(std::string_view n) {
    return OneOf(n, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike",
                     "strong", "tt", "u"});
}

// A parser keeps no more than three alike formatting elements to open again.
constexpr int kAlikeFormattingKept = 3;

// Start tags before which the parser opens again the formatting elements others' ends closed:
// inline content, not blocks, lists, tables or the head's elements.
bool Reopens(std::string_view n) {
    return !IsSpecial(n) || OneOf(n, {"applet", "marquee", "object", "area", "br", "embed", "img",
                                      "keygen", "wbr", "input", "select", "button", "xmp"});
}

bool IsForeignRoot(std::string_view n) {
    return n == "svg" || n == "math";
}

} // namespace

OpenElementStack::OpenElementStack() {
    Push("html");
}

int OpenElementStack::Top(const std::string& name) const {
    const auto found = m_positions.find(name);
    return found == m_positions.end() || found->second.empty() ? -1 : found->second.back();
}

int OpenElementStack::Nearest(int Entry::*boundary) const {
    return m_stack.empty() ? -1 : m_stack.back().*boundary;
}

bool OpenElementStack::InScope(const std::string& name, int Entry::*boundary) const {
    const int at = Top(name);
    return at >= 0 && at >= Nearest(boundary);
}

bool OpenElementStack::InForeignContent() const {
    if (m_foreignOpen == 0)
        return false;
    const int svg = Top("svg");
    const int math = Top("math");
    // The islands of HTML are those of the nearer foreign root's own language.
    static const std::vector<std::string> kSvgIslands = {"foreignobject", "desc", "title"};
    static const std::vector<std::string> kMathIslands = {"annotation-xml", "mi", "mo", "mn", "ms",
                                                          "mtext"};
    const int foreign = std::max(svg, math);
    for (const std::string& island : svg > math ? kSvgIslands : kMathIslands)
        if (Top(island) > foreign)
            return false;
    return foreign >= 0;
}

void OpenElementStack::Push(const std::string& name, std::string formatting) {
    const int at = static_cast<int>(m_stack.size());
    const auto own = [&](bool boundary, int Entry::*field) {
        return boundary ? at : Nearest(field);
    };
    const bool special = IsSpecial(name);
    const bool scope = IsDefaultScopeBoundary(name);
    Entry entry{
        name,
        std::move(formatting),
        own(special, &Entry::special),
        own(scope, &Entry::defaultScope),
        own(scope || name == "button", &Entry::buttonScope),
        own(scope || name == "ol" || name == "ul", &Entry::listItemScope),
        own(IsTableScopeBoundary(name), &Entry::tableScope),
        own(special && !OneOf(name, {"address", "div", "p", "li", "dd", "dt"}), &Entry::listStop)};
    m_stack.push_back(std::move(entry));
    m_positions[name].push_back(at);
    if (IsForeignRoot(name))
        ++m_foreignOpen;
}

void OpenElementStack::PopTo(int index, int ended) {
    while (Size() > std::max(index, 1) || (Size() > 1 && m_stack.back().gone)) {
        Entry& top = m_stack.back();
        if (top.gone) {
            --m_gone;
            m_stack.pop_back();
            continue;
        }
        std::string& formatting = top.formatting;
        if (!formatting.empty() && Size() - 1 != ended)
            m_reopen.push_back(std::move(formatting));
        else if (!formatting.empty())
            --m_alike[formatting];
        std::vector<int>& positions = m_positions[top.name];
        positions.pop_back();
        if (IsForeignRoot(top.name))
            --m_foreignOpen;
        m_stack.pop_back();
    }
}

int OpenElementStack::Adopt(int at) {
    // The parser moves the element into the next block up, again and again, at most eight
    // times; once no block lies above it, it closes with everything above it. Looking far up
    // would cost every such end tag: beyond a few elements the element stays open, which keeps
    // more open than the parser, never less.
    constexpr int kMaxSearch = 64;
    constexpr int kMaxMoves = 7;
    if (Size() - at > kMaxSearch)
        return -1;
    int lastBlock = -1;
    int blocks = 0;
    for (int i = at + 1; i < Size(); ++i)
        if (m_stack[static_cast<std::size_t>(i)].special == i) {
            lastBlock = i;
            ++blocks;
        }
    if (lastBlock < 0 || blocks > kMaxMoves)
        return -1;
    PopAbove(lastBlock);
    const auto leave = [this](Entry& entry, int index) {
        // Near the top of the stack, so near the end of its name's positions.
        std::vector<int>& positions = m_positions[entry.name];
        positions.erase(std::prev(std::find(positions.rbegin(), positions.rend(), index).base()));
        entry.gone = true;
        ++m_gone;
    };
    // A copy of the element for each block it moved into; the formatting elements between
    // stay (as copies), the other elements between leave the stack.
    int made = blocks;
    for (int i = at + 1; i < lastBlock; ++i) {
        Entry& entry = m_stack[static_cast<std::size_t>(i)];
        if (entry.gone || entry.special == i)
            continue;
        if (entry.formatting.empty())
            leave(entry, i);
        else
            ++made;
    }
    Entry& element = m_stack[static_cast<std::size_t>(at)];
    --m_alike[element.formatting];
    element.formatting.clear();
    leave(element, at);
    return made;
}

int OpenElementStack::Reopen() {
    const int reopened = static_cast<int>(m_reopen.size());
    for (std::string& formatting : m_reopen) {
        const std::string name = formatting.substr(0, formatting.find('\0'));
        Push(name, std::move(formatting));
    }
    m_reopen.clear();
    return reopened;
}

void OpenElementStack::ForgetEarliest(const std::string& name, const std::string& formatting) {
    const auto waiting = std::find(m_reopen.begin(), m_reopen.end(), formatting);
    if (waiting != m_reopen.end()) {
        m_reopen.erase(waiting);
        --m_alike[formatting];
        return;
    }
    for (const int at : m_positions[name]) {
        if (m_stack[static_cast<std::size_t>(at)].formatting == formatting) {
            m_stack[static_cast<std::size_t>(at)].formatting.clear();
            --m_alike[formatting];
            return;
        }
    }
}

int OpenElementStack::Text() {
    return m_reopen.empty() || InForeignContent() ? 0 : Reopen();
}

bool OpenElementStack::InsertsRawText(const std::string& name) const {
    if (Top("frameset") >= 0 || Top("template") >= 0)
        return false;
    return Top("select") < 0 || name == "script" || name == "textarea";
}

int OpenElementStack::CurrentTable() const {
    const int table = Top("table");
    return table >= 0 && table == Nearest(&Entry::tableScope) ? table : -1;
}

void OpenElementStack::CloseImpliedByStart(const std::string& name) {
    if (ClosesParagraph(name) && InScope("p", &Entry::buttonScope))
        PopTo(Top("p"));
    if (name == "li") {
        const int item = Top("li");
        if (item > std::max({Nearest(&Entry::listStop), Top("dd"), Top("dt")}))
            PopTo(item);
    } else if (name == "dd" || name == "dt") {
        const int item = std::max(Top("dd"), Top("dt"));
        if (item > std::max(Nearest(&Entry::listStop), Top("li")))
            PopTo(item);
    } else if (IsHeading(name) && IsHeading(m_stack.back().name)) {
        PopTo(Size() - 1);
    } else if (name == "option" || name == "optgroup") {
        if (m_stack.back().name == "option")
            PopTo(Size() - 1);
        // Only a list of a select ends its group at the next one.
        if (name == "optgroup" && m_stack.back().name == "optgroup" && Top("select") >= 0)
            PopTo(Size() - 1);
    } else if (name == "a" || name == "nobr") {
        // A second link closes the first, when nothing special lies in between.
        if (Top(name) > Nearest(&Entry::special))
            PopTo(Top(name), Top(name));
    }
}

// Rows, cells and sections of a table: close the open cell, row or section they end, and add
// the section and row a page may leave out. Answers the elements added on top of the tag's own.
int OpenElementStack::TableStructure(const std::string& name) {
    const int table = CurrentTable();
    if (table < 0)
        return 0;
    const int section = std::max({Top("tbody"), Top("thead"), Top("tfoot")});
    if (IsTableSection(name) || name == "caption" || name == "colgroup") {
        PopAbove(table);
        return 0;
    }
    if (name == "tr") {
        if (section > table) {
            PopAbove(section);
            return 0;
        }
        PopAbove(table);
        Push("tbody");
        return 1;
    }
    // td, th
    const int row = Top("tr");
    if (row > table) {
        PopAbove(row);
        return 0;
    }
    int added = 0;
    if (section > table) {
        PopAbove(section);
    } else {
        PopAbove(table);
        Push("tbody");
        ++added;
    }
    Push("tr");
    return added + 1;
}

int OpenElementStack::StartTag(const std::string& name, bool selfClosing,
                               std::string_view attributes) {
    if (InForeignContent()) {
        // <font> leaves foreign content only with its HTML attributes.
        const bool htmlFont =
            name == "font" &&
            (HtmlNames::ToLowerAscii(attributes).find("color") != std::string::npos ||
             HtmlNames::ToLowerAscii(attributes).find("face") != std::string::npos ||
             HtmlNames::ToLowerAscii(attributes).find("size") != std::string::npos);
        if (!BreaksOutOfForeignContent(name) && !htmlFont) {
            if (!selfClosing)
                Push(name);
            return 1;
        }
        PopTo(std::max(Top("svg"), Top("math")));
    }
    if (name == "html" || name == "body")
        return 1; // the parser's own, which the tag only gives attributes
    if (name == "head") {
        if (m_headSeen)
            return 0;
        m_headSeen = true;
        Push(name);
        return 1;
    }
    if (m_stack.back().name == "head" && !BelongsInHead(name))
        PopTo(Size() - 1);
    CloseImpliedByStart(name);
    int made = 1 + (m_reopen.empty() || !Reopens(name) ? 0 : Reopen());
    if (name == "tr" || name == "td" || name == "th" || IsTableSection(name) || name == "caption" ||
        name == "colgroup") {
        // Outside a table the parser drops them.
        if (CurrentTable() < 0)
            return made - 1;
        made += TableStructure(name);
    }
    const bool foreignRoot = IsForeignRoot(name);
    if (IsFormatting(name)) {
        std::string formatting = name + '\0' + std::string(attributes);
        // Past three alike, the earliest of them is no longer opened again.
        if (++m_alike[formatting] > kAlikeFormattingKept)
            ForgetEarliest(name, formatting);
        Push(name, std::move(formatting));
    } else if (!HtmlNames::IsVoidElement(name) && name != "image" &&
               !(foreignRoot && selfClosing)) {
        Push(name);
    }
    return made;
}

int OpenElementStack::EndTag(const std::string& name) {
    if (InForeignContent()) {
        const int at = Top(name);
        if (at >= std::max(Top("svg"), Top("math")))
            PopTo(at);
        return 0;
    }
    if (name == "br")
        return 1 + (m_reopen.empty() ? 0 : Reopen()); // read as <br>
    if (IsFormatting(name)) {
        const int at = Top(name);
        if (at < 0) {
            // Closed by another's end: it is not opened again.
            const std::string prefix = name + '\0';
            const auto waiting =
                std::find_if(m_reopen.rbegin(), m_reopen.rend(),
                             [&](const std::string& f) { return f.starts_with(prefix); });
            if (waiting != m_reopen.rend()) {
                --m_alike[*waiting];
                m_reopen.erase(std::next(waiting).base());
            }
        } else if (at > Nearest(&Entry::special)) {
            PopTo(at, at);
        } else if (at >= Nearest(&Entry::defaultScope) &&
                   !m_stack[static_cast<std::size_t>(at)].formatting.empty()) {
            return std::max(0, Adopt(at));
        }
        return 0;
    }
    if (name == "p" && Top(name) < 0)
        return 1; // an empty paragraph
    // Nothing of that name is open: the parser ignores the tag (a heading's end closes any
    // open heading).
    if ((Top(name) < 0 && !IsHeading(name)) || name == "html" || name == "body")
        return 0;
    if (name == "p") {
        if (!InScope("p", &Entry::buttonScope))
            return 1; // an empty paragraph
        PopTo(Top("p"));
        return 0;
    }
    if (name == "li") {
        if (InScope("li", &Entry::listItemScope))
            PopTo(Top("li"));
        return 0;
    }
    if (IsHeading(name)) {
        int heading = -1;
        for (const char* h : {"h1", "h2", "h3", "h4", "h5", "h6"})
            heading = std::max(heading, Top(h));
        if (heading >= 0 && heading >= Nearest(&Entry::defaultScope))
            PopTo(heading);
        return 0;
    }
    if (name == "tr" || name == "td" || name == "th" || name == "table" || IsTableSection(name) ||
        name == "caption" || name == "colgroup") {
        if (InScope(name, &Entry::tableScope))
            PopTo(Top(name));
        return 0;
    }
    if (IsSpecial(name)) {
        if (InScope(name, &Entry::defaultScope))
            PopTo(Top(name));
        return 0;
    }
    // Any other end tag closes its element only when no special element lies above it.
    const int at = Top(name);
    if (at >= 0 && at > Nearest(&Entry::special))
        PopTo(at);
    return 0;
}

} // namespace KDAutoUpdate
