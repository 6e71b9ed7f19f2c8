#include "platform/win32/Win32FormRenderer.h"

#include <commctrl.h>

#include <cmath>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32FormView.h"

namespace KDAutoUpdate {

namespace {

void RegisterFormClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Win32FormView::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"KDAutoUpdate.Form";
    RegisterClassExW(&wc); // a second renderer finds it registered
}

} // namespace

Win32FormRenderer::Win32FormRenderer() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterFormClass();
    if (HDC screen = GetDC(nullptr)) {
        m_dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
}

Win32FormRenderer::~Win32FormRenderer() {
    if (m_font)
        DeleteObject(m_font);
}

HFONT Win32FormRenderer::FontFor(const FormDef& def) {
    if (m_font && def.fontName == m_fontName && def.fontSize == m_fontSize)
        return m_font;
    if (m_font)
        DeleteObject(m_font);
    m_fontName = def.fontName;
    m_fontSize = def.fontSize;
    const int height = -static_cast<int>(std::lround(def.fontSize * m_dpi / 72.0));
    m_font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, Widen(def.fontName).c_str());
    return m_font;
}

std::unique_ptr<IFormView> Win32FormRenderer::CreateView(const FormDef& def, IFormEvents& events) {
    return std::make_unique<Win32FormView>(def, events, FontFor(def), m_dpi, m_resources);
}

MsgBoxResult Win32FormRenderer::MsgBox(const std::string& text, MsgBoxButtons buttons,
                                       MsgBoxIcon icon, const std::string& title) {
    UINT flags = MB_SETFOREGROUND;
    switch (buttons) {
    case MsgBoxButtons::OK:
        flags |= MB_OK;
        break;
    case MsgBoxButtons::OKCancel:
        flags |= MB_OKCANCEL;
        break;
    case MsgBoxButtons::YesNo:
        flags |= MB_YESNO;
        break;
    case MsgBoxButtons::YesNoCancel:
        flags |= MB_YESNOCANCEL;
        break;
    }
    switch (icon) {
    case MsgBoxIcon::None:
        break;
    case MsgBoxIcon::Critical:
        flags |= MB_ICONERROR;
        break;
    case MsgBoxIcon::Question:
        flags |= MB_ICONQUESTION;
        break;
    case MsgBoxIcon::Exclamation:
        flags |= MB_ICONWARNING;
        break;
    case MsgBoxIcon::Information:
        flags |= MB_ICONINFORMATION;
        break;
    }
    const std::string shownTitle = title.empty() ? kApplicationTitle : title;
    const int answer =
        MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(shownTitle).c_str(), flags);
    switch (answer) {
    case IDYES:
        return MsgBoxResult::Yes;
    case IDNO:
        return MsgBoxResult::No;
    case IDOK:
        return MsgBoxResult::OK;
    default:
        return MsgBoxResult::Cancel;
    }
}

TwipRect Win32FormRenderer::Screen() const {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const double scale = 1440.0 / m_dpi;
    return {area.left * scale, area.top * scale, (area.right - area.left) * scale,
            (area.bottom - area.top) * scale};
}

} // namespace KDAutoUpdate
