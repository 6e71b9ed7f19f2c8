#include "platform/win32/Win32TextCase.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {
// Text that is not UTF-8 keeps its bytes; only its ASCII letters are lowered.
std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}
} // namespace

std::string Win32TextCase::LowerCase(std::string_view utf8) const {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int wide =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide <= 0)
        return AsciiLower(utf8);
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), wide);
    const int lowered = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), wide,
                                      nullptr, 0, nullptr, nullptr, 0);
    if (lowered <= 0)
        return AsciiLower(utf8);
    std::wstring out(static_cast<size_t>(lowered), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), wide, out.data(), lowered,
                  nullptr, nullptr, 0);
    return Narrow(out);
}

} // namespace KDAutoUpdate
