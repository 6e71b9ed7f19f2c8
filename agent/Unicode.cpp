#include "Unicode.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "platform/TextCase.h"

namespace KDAutoUpdate {
namespace {
std::atomic<const ITextCase*> g_textCase{nullptr};
} // namespace

void UseTextCase(const ITextCase* textCase) {
    g_textCase.store(textCase);
}

const ITextCase* CurrentTextCase() {
    return g_textCase.load();
}

namespace {
bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

// ASCII, which nearly every key and word is, lowers alike in every Unicode lower-casing (none
// of them depends on the user's language): the platform is asked only for the rest.
std::string LowerCase(std::string_view utf8) {
    if (const ITextCase* textCase = g_textCase.load(); textCase && !IsAscii(utf8))
        return textCase->LowerCase(utf8);
    std::string out(utf8);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b))
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    return LowerCase(a) == LowerCase(b);
}

std::size_t HashIgnoreCase(std::string_view text) {
    // FNV-1a over the bytes of LowerCase(text); lowering ASCII letters again changes nothing.
    const auto hash = [](std::string_view lower) {
        std::uint64_t h = 14695981039346656037ull;
        for (char c : lower)
            h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    };
    return IsAscii(text) ? hash(text) : hash(LowerCase(text));
}

} // namespace KDAutoUpdate
