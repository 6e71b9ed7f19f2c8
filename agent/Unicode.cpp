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

std::string LowerCase(std::string_view utf8) {
    // ASCII, which nearly every key and word is, lowers alike in every Unicode lower-casing
    // (none of them depends on the user's language): the platform is asked only for the rest.
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (const ITextCase* textCase = g_textCase.load(); textCase && !ascii)
        return textCase->LowerCase(utf8);
    std::string out(utf8);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return LowerCase(a) == LowerCase(b);
}

} // namespace KDAutoUpdate
