#pragma once
// UTF-8 text of the core to and from the UTF-16 text of Win32 and COM.

#include <string>

namespace KDAutoUpdate {

std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, int length = -1);
inline std::string Narrow(const std::wstring& text) {
    return Narrow(text.c_str(), static_cast<int>(text.size()));
}

} // namespace KDAutoUpdate
