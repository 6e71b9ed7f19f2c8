#pragma once
// res:// URLs of the resource library: "res://" + ResourceUrlPath(file) + "/" + resource name,
// for example "res:///opt/x%20y/_AuResLib.rcc/AuProgress.html".

#include <optional>
#include <string>
#include <string_view>

namespace KDAutoUpdate {

// Decodes %XX escapes; other characters (a browser may hand back blanks or UTF-8 unescaped)
// pass through. A broken escape or an encoded NUL makes the text unusable: nullopt.
std::optional<std::string> PercentDecode(std::string_view text);

// The resource file's path as it follows "res://": every byte outside the unreserved URL
// characters and "/" is percent-encoded (UTF-8 bytes one by one).
std::string ResourceUrlPath(const std::string& filePath);

// Splits a res:// URL into the decoded file path and the resource name (the last path
// segment). Accepts "res://" with an empty or "localhost" authority and "res:/path"; drops a
// query or fragment. False for other schemes, a missing name or file, or a malformed escape.
bool ParseResUrl(const std::string& url, std::string& filePath, std::string& resourceName);

} // namespace KDAutoUpdate
