#pragma once
// The stack of open elements that an HTML tree builder keeps, reduced to what decides how deep
// a page nests: element names, the end tags HTML lets a page leave out (a new <li> closes the
// open one, a block closes an open <p>, a row closes the open cell and row, ...), the end tags
// it ignores (one whose element lies beyond a table or another block), the table sections it
// adds on its own, and the foreign content of <svg> and <math>, where "<x/>" is closed.
//
// Formatting elements (<b>, <i>, <a>, ...) that another element's end closed are opened again,
// nested, before the next text or element, as the parser does; a page that never ends its <b>s
// makes the parser build more elements than it has tags, and they are counted. The end of a
// formatting element with a block inside it (<b><p>x</b>) closes it as the parser's adoption
// steps do: the element and the other elements between it and the last block leave the stack,
// what is open inside that block closes, the block stays open.
//
// Where the rules are simplified, they keep more elements open than a real parser does, never
// fewer, so the depth found is never below the real one. Every operation costs a constant
// amount besides the elements it opens or closes.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace KDAutoUpdate {

class OpenElementStack {
public:
    OpenElementStack();

    // A start tag (name in lower case); `selfClosing` when it ended in "/>". Answers how many
    // elements the tag made (0 for one the parser drops, 2 or 3 for a row or cell that brings
    // its table section along).
    // `attributes`: the tag's attribute text, which tells formatting elements apart.
    int StartTag(const std::string& name, bool selfClosing, std::string_view attributes = {});
    // An end tag (name in lower case). Answers the elements it made ("</p>" and "</br>" may).
    int EndTag(const std::string& name);
    // Text between tags. Answers the formatting elements it opened again.
    int Text();

    int Depth() const { return Size() - m_gone; }
    // Inside <svg> or <math> and not in one of their islands of HTML: raw-text elements are
    // not raw text there, and "/>" closes.
    bool InForeignContent() const;
    // Whether the parser surely inserts that raw-text element here, so that its text is text.
    // Within a frameset, a template or a select it may drop the tag, and then reads on in
    // markup: its text is read as markup here as well.
    bool InsertsRawText(const std::string& name) const;

private:
    // For every open element, the nearest element at or below it that ends each kind of
    // search down the stack (-1: none).
    struct Entry {
        std::string name;
        std::string formatting; // name and attributes of a formatting element; else empty
        int special;
        int defaultScope;
        int buttonScope;
        int listItemScope;
        int tableScope;
        int listStop;
        // Taken out of the stack by a formatting element's end; it stays in place until what
        // lies above it is closed, so that no other entry's index changes.
        bool gone = false;
    };

    int Size() const { return static_cast<int>(m_stack.size()); }
    // The end of the formatting element at `at` with a block above it. Answers the elements
    // the parser made for it, or -1 where the model keeps it open instead (blocks too many or
    // too far up to look for).
    int Adopt(int at);

    void Push(const std::string& name, std::string formatting = {});
    // Closes the element at `index` and everything above it. Formatting elements among them
    // are to be opened again, except the one at `ended`, which its own end tag closed.
    void PopTo(int index, int ended = -1);
    // Opens again the formatting elements closed by others' ends; answers how many.
    int Reopen();
    // The earliest formatting element alike `formatting` is not opened again any more.
    void ForgetEarliest(const std::string& name, const std::string& formatting);
    // Leaves the element at `index` on top.
    void PopAbove(int index) { PopTo(index + 1); }
    // Where the topmost open element of that name is; -1 when none is open.
    int Top(const std::string& name) const;
    int Nearest(int Entry::*boundary) const;
    // Open and not hidden behind a boundary of that scope.
    bool InScope(const std::string& name, int Entry::*boundary) const;
    // The topmost table when it is the nearest table boundary; -1 otherwise.
    int CurrentTable() const;
    void CloseImpliedByStart(const std::string& name);
    int TableStructure(const std::string& name);

    std::vector<Entry> m_stack;
    // Formatting elements to open again, oldest first.
    std::vector<std::string> m_reopen;
    // Formatting elements still to be opened again or open, by name and attributes.
    std::unordered_map<std::string, int> m_alike;
    std::unordered_map<std::string, std::vector<int>> m_positions;
    bool m_headSeen = false;
    int m_gone = 0; // entries marked gone
    // Open <svg> and <math> elements: without them there is no foreign content to look for.
    int m_foreignOpen = 0;
};

} // namespace KDAutoUpdate
