#pragma once
// The visible text of an element as a terminal would show it: whitespace collapsed, block
// elements on lines of their own, check boxes as "[x]" / "[ ]", buttons in brackets, scripts,
// styles and hidden elements left out.

#include <string>

namespace KDAutoUpdate {

class HeadlessElement;

class HtmlTextExtractor {
public:
    static std::string VisibleText(const HeadlessElement& element);
};

} // namespace KDAutoUpdate
