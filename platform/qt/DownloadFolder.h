#pragma once
// The download folder on this system: one whose path a command line carries without quotes.
// The rules of its names and its tidying are every system's (platform/portable/DownloadFiles.h).

#include <string>

#include "platform/portable/DownloadFiles.h"

namespace KDAutoUpdate {

namespace DownloadFolder {

// `wanted` when its path is safe; otherwise "<fallbackRoot>/kdautoupdate-<uid>/downloads",
// its per-user part made private to the user (and refused when someone else owns it). Empty
// when no safe folder can be had.
std::string Choose(const std::string& wanted, const std::string& fallbackRoot);

} // namespace DownloadFolder
} // namespace KDAutoUpdate
