#include "Unicode.h"

#include <algorithm>
#include <atomic>

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

} // namespace KDAutoUpdate
