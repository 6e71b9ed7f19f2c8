#pragma once
// Lower-casing of UTF-8 text for case-insensitive keys and words: the platform's own Unicode
// lower-casing, held by every agent while it lives. The process has one lower-casing for all
// its agents, so it stays in place until the last agent that held it has ended.

#include <cstddef>
#include <string>
#include <string_view>

namespace KDAutoUpdate {

class ITextCase;

// Holds `textCase` as the lower-casing of LowerCase until it is released as often as it was
// held. While several are held the latest one serves; with none, ASCII letters only. Null is
// ignored.
void HoldTextCase(const ITextCase* textCase);
void ReleaseTextCase(const ITextCase* textCase);
const ITextCase* CurrentTextCase();

std::string LowerCase(std::string_view utf8);

// Equal after LowerCase.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// A hash of LowerCase(text), without the copy for ASCII text: texts equal after LowerCase hash
// alike.
std::size_t HashIgnoreCase(std::string_view text);

} // namespace KDAutoUpdate
