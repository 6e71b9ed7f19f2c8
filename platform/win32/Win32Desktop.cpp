#include "platform/win32/Win32Desktop.h"

#include <windows.h>

#include <shellapi.h>
#include <wininet.h>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

// Undocumented but long exported by name: the shell's download with its own dialogs. Its
// answer is not read (Windows and wine disagree on what it means).
using DoFileDownloadFunction = LONG(WINAPI*)(LPCWSTR url);

DoFileDownloadFunction ShellDownload() {
    // From the system folder only, never one a planted DLL could come from.
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (length == 0 || length >= path.size())
        return nullptr;
    path.resize(length);
    HMODULE shell = LoadLibraryW((path + L"\\shdocvw.dll").c_str());
    if (!shell)
        return nullptr;
    // The library stays loaded for the process: the download it starts runs inside it.
    return reinterpret_cast<DoFileDownloadFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "DoFileDownload")));
}

bool IsStrictUrlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f)
        return false;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        return false;
    default:
        return true;
    }
}

} // namespace

Win32Desktop::Win32Desktop()
    : m_route(!IsWine() && ShellDownload() ? Route::ShellDownload : Route::DefaultHandler) {}

Win32Desktop::Win32Desktop(Route route) : m_route(route) {}

bool Win32Desktop::IsWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool Win32Desktop::IsAllowedAddress(const std::string& url) {
    if (url.empty())
        return false;
    for (char c : url)
        if (!IsStrictUrlCharacter(c))
            return false;
    const std::wstring wide = Widen(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = parts.dwHostNameLength = 1;
    if (!InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return false;
    const bool knownScheme = parts.nScheme == INTERNET_SCHEME_HTTP ||
                             parts.nScheme == INTERNET_SCHEME_HTTPS ||
                             parts.nScheme == INTERNET_SCHEME_FTP;
    return knownScheme && parts.dwHostNameLength > 0;
}

bool Win32Desktop::OpenUrl(const std::string& url) {
    if (!IsAllowedAddress(url))
        return false;
    const std::wstring address = Widen(url);
    if (m_route == Route::ShellDownload) {
        const DoFileDownloadFunction download = ShellDownload();
        if (!download)
            return false;
        download(address.c_str());
        return true;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No error boxes of the shell's own; the handler is started before this returns, so the
    // call may come from a thread that ends soon after.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = address.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

} // namespace KDAutoUpdate
