#pragma once
// Writes headless DOM nodes back as HTML markup (the innerHTML and outerHTML of an element).

#include <string>

namespace KDAutoUpdate {

class HeadlessElement;

class HtmlSerializer {
public:
    static std::string InnerHtml(const HeadlessElement& element);
    static std::string OuterHtml(const HeadlessElement& element);
    // Text escaped for element content, and for a double-quoted attribute value.
    static std::string EscapeText(const std::string& text);
    static std::string EscapeAttribute(const std::string& value);
};

} // namespace KDAutoUpdate
