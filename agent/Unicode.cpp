#include "Unicode.h"

namespace KDAutoUpdate {
namespace {

char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c < 0xC0)
        return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    if (c >= 0x100 && c <= 0x137)
        return (c % 2 == 0) ? c + 1 : c;
    if (c == 0x130)
        return U'i';
    if (c >= 0x139 && c <= 0x148)
        return (c % 2 == 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177)
        return (c % 2 == 0) ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x179 && c <= 0x17E)
        return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x1E9E) // capital sharp s
        return 0xDF;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one code point at `i`; answers the number of bytes used, 0 for malformed input.
size_t Decode(std::string_view s, size_t i, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    char32_t c = 0;
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    out = c;
    return len;
}

} // namespace

std::string LowerCase(std::string_view utf8) {
    // Plain ASCII, what keys and words nearly always are, in one pass over a copy.
    std::string out(utf8);
    size_t i = 0;
    for (; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x80)
            break;
        if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c + 0x20);
    }
    if (i == out.size())
        return out;
    // The rest code point by code point.
    out.resize(i);
    while (i < utf8.size()) {
        char32_t c = 0;
        const size_t len = Decode(utf8, i, c);
        if (len == 0) {
            out += utf8[i];
            ++i;
            continue;
        }
        if (len == 1)
            out += static_cast<char>(LowerCodePoint(c));
        else
            AppendUtf8(out, LowerCodePoint(c));
        i += len;
    }
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return LowerCase(a) == LowerCase(b);
}

} // namespace KDAutoUpdate
