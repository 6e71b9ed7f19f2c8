#pragma once
// Serialized XML in one spelling, so tests compare markup and not the XML component's layout:
// no line breaks or indentation between tags, and empty elements written "<e a=\"1\" />".

#include <string>

namespace KDAutoUpdate {

inline std::string XmlText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n' || c == '\t' || c == ' ') {
            const std::size_t next = text.find_first_not_of("\r\n\t ", i);
            const bool betweenTags = (out.empty() || out.back() == '>') &&
                                     (next == std::string::npos || text[next] == '<');
            if (betweenTags) {
                i = (next == std::string::npos ? text.size() : next) - 1;
                continue;
            }
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '>' && !out.empty() &&
            out.back() != ' ')
            out += ' ';
        out += c;
    }
    return out;
}

} // namespace KDAutoUpdate
