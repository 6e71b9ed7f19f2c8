#include "com/BrowserEmulation.h"

#include <windows.h>

#include <string>

namespace KDAutoUpdate::BrowserEmulation {

namespace {

constexpr wchar_t kFeatureKey[] = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl"
                                  L"\\FEATURE_BROWSER_EMULATION";

// The feature key names programs by file name alone, so a renamed copy needs its own value.
std::wstring ProgramFileName() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    const std::wstring full(path, length);
    const std::size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

HKEY Root(bool perUser) {
    return perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

} // namespace

bool Register(bool perUser) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(Root(perUser), kFeatureKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD mode = kEdgeMode;
    const LSTATUS status = RegSetValueExW(key, ProgramFileName().c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&mode), sizeof mode);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool Unregister(bool perUser) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root(perUser), kFeatureKey, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return true; // nothing was registered
    const LSTATUS status = RegDeleteValueW(key, ProgramFileName().c_str());
    DWORD subKeys = 0;
    DWORD values = 0;
    const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                        nullptr, &values, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS &&
                       subKeys == 0 && values == 0;
    RegCloseKey(key);
    // Other programs' values share the key; it goes only with the last of them.
    if (empty)
        RegDeleteKeyW(Root(perUser), kFeatureKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace KDAutoUpdate::BrowserEmulation
