#include "platform/win32/Win32DownloadFolder.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>

#include "platform/portable/DownloadFiles.h"
#include "platform/win32/WideText.h"

namespace KDAutoUpdate::Win32DownloadFolder {

namespace {

constexpr wchar_t kOwnFolder[] = L"KDAutoUpdate";

// Drive letters and backslashes are a Windows path's own syntax, not specials.
bool IsSafe(const std::wstring& path) {
    std::string text = Narrow(path);
    if (text.size() >= 2 && text[1] == ':')
        text.erase(0, 2);
    std::replace(text.begin(), text.end(), '\\', '/');
    return !text.empty() && DownloadFolder::IsCommandLineSafe(text);
}

std::wstring SafeForm(const std::wstring& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error))
        return {};
    if (IsSafe(folder))
        return folder;
    std::wstring shortPath(MAX_PATH, L'\0');
    const DWORD length =
        GetShortPathNameW(folder.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size())
        return {};
    shortPath.resize(length);
    return IsSafe(shortPath) ? shortPath : std::wstring();
}

} // namespace

std::string Default() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, &path)))
        folder = Narrow(std::wstring(path) + L"\\" + kOwnFolder);
    CoTaskMemFree(path);
    return folder;
}

std::string Choose(const std::string& wanted) {
    if (!wanted.empty())
        if (const std::wstring safe = SafeForm(Widen(wanted)); !safe.empty())
            return Narrow(safe);
    std::wstring temp(MAX_PATH + 1, L'\0');
    const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    if (length == 0 || length >= temp.size())
        return {};
    temp.resize(length);
    return Narrow(SafeForm(temp + kOwnFolder));
}

} // namespace KDAutoUpdate::Win32DownloadFolder
