#pragma once
// The addresses a download may use: http and https with a host, split as WinHTTP wants them,
// and the redirects it may follow (to https anywhere, or over http within the same host).

#include <optional>
#include <string>

namespace KDAutoUpdate {

struct Win32DownloadAddress {
    std::string url;     // absolute, as requested
    bool secure = false; // https
    std::wstring host;
    unsigned short port = 0;
    std::wstring object; // path and query, still percent-encoded, without the fragment
    std::string segment; // the path's last segment, percent-decoded

    // Null for anything but an absolute http or https address with a host.
    static std::optional<Win32DownloadAddress> Parse(const std::string& url);
    // `location` (absolute or relative) against `base`; empty when it cannot be combined.
    static std::string Resolve(const std::string& base, const std::string& location);
    static bool IsRedirectAllowed(const Win32DownloadAddress& from, const Win32DownloadAddress& to);
};

} // namespace KDAutoUpdate
