#pragma once
// Reading and printing the shell's values: Booleans True/False, Longs, dates, texts.

#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate {

std::optional<bool> ParseShellBool(const std::string& text);
std::optional<long> ParseShellLong(const std::string& text);
inline const char* ShellBool(bool value) {
    return value ? "True" : "False";
}
std::string TrimBlanks(const std::string& text);
// Splits at runs of blanks; a token in double quotes may hold blanks (quotes removed).
std::vector<std::string> SplitTokens(const std::string& text);
// Case-insensitive ASCII comparison, as automation names compare.
bool SameName(const std::string& a, const std::string& b);

} // namespace KDAutoUpdate
