#pragma once
// Name rules of HTML shared by the headless DOM: ASCII case folding (HTML names are ASCII
// case-insensitive), void elements and elements whose content is raw text.

#include <string>
#include <string_view>

namespace KDAutoUpdate::HtmlNames {

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = LowerAscii(c);
    return result;
}

inline std::string ToUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// Elements that never have content or an end tag.
inline bool IsVoidElement(std::string_view tag) {
    for (std::string_view name :
         {"area", "base", "br", "col", "embed", "hr", "img", "input", "keygen", "link", "meta",
          "param", "source", "track", "wbr", "basefont", "bgsound", "frame"})
        if (tag == name)
            return true;
    return false;
}

// Elements whose text is written out unescaped.
inline bool IsRawTextElement(std::string_view tag) {
    for (std::string_view name :
         {"script", "style", "xmp", "iframe", "noembed", "noframes", "plaintext", "noscript"})
        if (tag == name)
            return true;
    return false;
}

} // namespace KDAutoUpdate::HtmlNames
