#pragma once
// Lower-casing of UTF-8 text for case-insensitive keys and words: the platform's own Unicode
// lower-casing, installed once per process by the agent.

#include <cstddef>
#include <string>
#include <string_view>

namespace KDAutoUpdate {

class ITextCase;

// Makes `textCase` the lower-casing of LowerCase; null goes back to ASCII letters only.
void UseTextCase(const ITextCase* textCase);
const ITextCase* CurrentTextCase();

std::string LowerCase(std::string_view utf8);

// Equal after LowerCase.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// A hash of LowerCase(text), without the copy for ASCII text: texts equal after LowerCase hash
// alike.
std::size_t HashIgnoreCase(std::string_view text);

} // namespace KDAutoUpdate
