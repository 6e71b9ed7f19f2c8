#include "Unicode.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/TextCase.h"

namespace KDAutoUpdate {
namespace {
// Read on every non-ASCII key, so kept apart from the holders behind their lock.
std::atomic<const ITextCase*> g_textCase{nullptr};

std::mutex& HoldersLock() {
    static std::mutex lock;
    return lock;
}
// One entry per hold, in the order of holding.
std::vector<const ITextCase*>& Holders() {
    static std::vector<const ITextCase*> holders;
    return holders;
}
} // namespace

void HoldTextCase(const ITextCase* textCase) {
    if (!textCase)
        return;
    const std::lock_guard<std::mutex> guard(HoldersLock());
    Holders().push_back(textCase);
    g_textCase.store(textCase);
}

void ReleaseTextCase(const ITextCase* textCase) {
    if (!textCase)
        return;
    const std::lock_guard<std::mutex> guard(HoldersLock());
    std::vector<const ITextCase*>& holders = Holders();
    const auto last = std::find(holders.rbegin(), holders.rend(), textCase);
    if (last == holders.rend())
        return;
    holders.erase(std::next(last).base());
    g_textCase.store(holders.empty() ? nullptr : holders.back());
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

// One pass over the ASCII both begin with: lowering maps each character on its own, ASCII alike
// everywhere and nothing to nothing, so a difference there, or one text ending where the other
// goes on, settles it. Only what follows other characters needs the platform.
bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if ((x | y) >= 0x80)
            return LowerCase(a) == LowerCase(b);
        if (AsciiLower(static_cast<char>(x)) != AsciiLower(static_cast<char>(y)))
            return false;
    }
    return a.size() == b.size();
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
