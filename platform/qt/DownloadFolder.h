#pragma once
// The download folder's rules: file and folder names a command line carries without quotes,
// and a folder that does not grow without end.
//
// The installer's command line holds the local path unquoted and is split at blanks and
// quotes, so neither the file name nor the folder may contain one.

#include <string>

namespace KDAutoUpdate {

struct NetworkLimits;

namespace DownloadFolder {

// Blanks, quotes, controls and the characters shells and command-line splitters treat
// specially.
bool IsSpecial(char c);
bool IsCommandLineSafe(const std::string& path);
// `name` with every special character replaced by "_".
std::string Plain(std::string name);
// `wanted` when its path is safe; otherwise "<fallbackRoot>/kdautoupdate-<uid>/downloads",
// its per-user part made private to the user (and refused when someone else owns it). Empty
// when no safe folder can be had.
std::string Choose(const std::string& wanted, const std::string& fallbackRoot);
// Removes partial files no transfer writes any more, and finished packages past their age or
// beyond the newest ones; `keep` (a file name) is never removed.
void Tidy(const std::string& folder, const NetworkLimits& limits, const std::string& keep);

} // namespace DownloadFolder
} // namespace KDAutoUpdate
