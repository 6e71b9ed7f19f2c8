#pragma once
// German display texts of the download dialog: sizes, remaining times and shortened paths.
// Pure functions on the standard library so every backend shows the same words.

#include <string>

namespace KDAutoUpdate::GermanFormat {

// "0 Bytes", "1 Byte", "512 Bytes", "1 KB", "1,5 KB", "1,5 MB", "2,3 GB" (1024 based, one
// decimal with a comma, ",0" dropped). Negative counts read as 0.
std::string FormatByteSize(long long bytes);

// "5 Sek.", "2 Min. 5 Sek.", "1 Std. 3 Min."; a negative time is "unbekannt".
std::string FormatDuration(long long seconds);

// The text unchanged when it has at most `maxLength` code points; otherwise its start and end
// around "..." with exactly `maxLength` code points. Below 4 there is no room for the dots and
// the first `maxLength` code points are kept. Bytes that are not valid UTF-8 count as one each.
std::string ShortenText(const std::string& text, int maxLength);

} // namespace KDAutoUpdate::GermanFormat
