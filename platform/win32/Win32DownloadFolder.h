#pragma once
// Where the download control puts packages on Windows: a folder of its own inside the user's
// Downloads known folder (its tidying never touches the user's other files), by a path the
// installer's command line carries unquoted.

#include <string>

namespace KDAutoUpdate::Win32DownloadFolder {

// "<Downloads>\KDAutoUpdate"; empty when the known folder cannot be had.
std::string Default();
// Creates `wanted` and answers a path to it without blanks or other specials: itself, else
// its short (8.3) form; else the same for "KDAutoUpdate" in the temporary folder; empty when
// no such folder can be had.
std::string Choose(const std::string& wanted);

} // namespace KDAutoUpdate::Win32DownloadFolder
