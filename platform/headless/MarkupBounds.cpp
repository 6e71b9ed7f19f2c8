#include "platform/headless/MarkupBounds.h"

#include <cctype>
#include <string_view>

#include "platform/headless/HtmlNames.h"

namespace KDAutoUpdate::MarkupBounds {

namespace {
bool IsLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
} // namespace

bool IsWithinBounds(const std::string& html) {
    int depth = 0;
    int elements = 0;
    for (std::size_t i = html.find('<'); i != std::string::npos && i + 1 < html.size();
         i = html.find('<', i + 1)) {
        if (html.compare(i, 4, "<!--") == 0) {
            i = html.find("-->", i + 4);
            if (i == std::string::npos)
                break;
            continue;
        }
        if (html[i + 1] == '/') {
            if (i + 2 < html.size() && IsLetter(html[i + 2]) && depth > 0)
                --depth;
            continue;
        }
        if (!IsLetter(html[i + 1]))
            continue;
        std::size_t end = i + 1;
        while (end < html.size() && std::isalnum(static_cast<unsigned char>(html[end])))
            ++end;
        const std::string name =
            HtmlNames::ToLowerAscii(std::string_view(html).substr(i + 1, end - i - 1));
        const std::size_t close = html.find('>', end);
        const bool selfClosing = close != std::string::npos && close > i && html[close - 1] == '/';
        if (++elements > kMaxElements)
            return false;
        if (!selfClosing && !HtmlNames::IsVoidElement(name) && ++depth > kMaxDepth)
            return false;
    }
    return true;
}

} // namespace KDAutoUpdate::MarkupBounds
