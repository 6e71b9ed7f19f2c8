#include "platform/win32/Win32ControlLook.h"

#include "platform/win32/WideText.h"

namespace KDAutoUpdate::Win32ControlLook {

std::wstring LabelText(const std::string& text) {
    std::wstring in = Widen(text), out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'\r' || in[i] == L'\n') {
            out += L"\r\n";
            if (in[i] == L'\r' && i + 1 < in.size() && in[i + 1] == L'\n')
                ++i;
        } else {
            out += in[i];
        }
    }
    return out;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

int TextWidth(HWND control, HFONT font) {
    const std::wstring text = WindowText(control);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return static_cast<int>(extent.cx);
}

HBRUSH StripBrush() {
    static const HBRUSH brush = [] {
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        auto darker = [](BYTE c) { return static_cast<BYTE>(c * 15 / 16); };
        return CreateSolidBrush(
            RGB(darker(GetRValue(face)), darker(GetGValue(face)), darker(GetBValue(face))));
    }();
    return brush;
}

void AddStripLine(HWND strip) {
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, 0,
                    GetSystemMetrics(SM_CXVIRTUALSCREEN), 2, strip, nullptr,
                    GetModuleHandleW(nullptr), nullptr);
}

} // namespace KDAutoUpdate::Win32ControlLook
