#include "platform/win32/Win32DownloadAddress.h"

#include <windows.h>
#include <wininet.h>

#include "platform/portable/ResUrl.h"
#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

std::optional<Win32DownloadAddress> Win32DownloadAddress::Parse(const std::string& url) {
    const std::wstring wide = Widen(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (wide.empty() ||
        !InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return std::nullopt;
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if ((!secure && parts.nScheme != INTERNET_SCHEME_HTTP) || parts.dwHostNameLength == 0)
        return std::nullopt;
    Win32DownloadAddress address;
    address.url = url;
    address.secure = secure;
    address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    address.port = parts.nPort;
    const std::wstring path = parts.dwUrlPathLength
                                  ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength)
                                  : std::wstring(L"/");
    std::wstring extra =
        parts.dwExtraInfoLength ? std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength) : L"";
    extra = extra.substr(0, extra.find(L'#'));
    address.object = path + extra;
    const std::string segment = Narrow(path.substr(path.find_last_of(L'/') + 1));
    // A broken escape stays as it is; its "%" becomes "_" in the file name.
    address.segment = PercentDecode(segment).value_or(segment);
    return address;
}

std::string Win32DownloadAddress::Resolve(const std::string& base, const std::string& location) {
    std::wstring combined(INTERNET_MAX_URL_LENGTH, L'\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(Widen(base).c_str(), Widen(location).c_str(), combined.data(), &length,
                             ICU_NO_ENCODE))
        return {};
    return Narrow(combined.c_str(), static_cast<int>(length));
}

bool Win32DownloadAddress::IsRedirectAllowed(const Win32DownloadAddress& from,
                                             const Win32DownloadAddress& to) {
    if (to.secure)
        return true;
    return !from.secure &&
           CompareStringOrdinal(from.host.c_str(), -1, to.host.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace KDAutoUpdate
