#pragma once
// Unicode-aware lower-casing of UTF-8 text for case-insensitive keys and words.

#include <string>
#include <string_view>

namespace KDAutoUpdate {

// Lower-cases Latin (including accented letters), Greek and Cyrillic; other code points and
// malformed bytes pass through unchanged.
std::string LowerCase(std::string_view utf8);

// Equal after LowerCase.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

} // namespace KDAutoUpdate
