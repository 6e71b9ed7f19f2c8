#include "platform/win32/Win32FormView.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32AnimationPlayer.h"
#include "platform/win32/Win32BrowserControl.h"
#include "platform/win32/Win32ControlLook.h"
#include "platform/win32/Win32DialogProperty.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32Icon.h"

namespace KDAutoUpdate {

namespace {

constexpr int kFirstId = 100;
constexpr wchar_t kFormClass[] = L"KDAutoUpdate.Form";

struct DisabledWindows {
    HWND keep;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableOther(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<DisabledWindows*>(param);
    if (hwnd != state->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        state->windows.push_back(hwnd);
    }
    return TRUE;
}

} // namespace

using Win32ControlLook::LabelText;
using Win32ControlLook::StripBrush;
using Win32ControlLook::WindowText;

Win32FormView::Win32FormView(const FormDef& def, IFormEvents& events, HFONT font, int dpi,
                             IResourceLibrary* resources)
    : m_def(def), m_events(&events), m_font(font), m_dpi(dpi), m_resources(resources),
      m_caption(def.caption) {
    for (const ControlDef& c : m_def.controls)
        m_entries.push_back(Entry{
            &c, nullptr, TwipRect{double(c.left), double(c.top), double(c.width), double(c.height)},
            nullptr});
    Build();
}

Win32FormView::~Win32FormView() {
    Destroy();
    *m_alive = false;
}

void Win32FormView::Build() {
    const bool sizable = m_def.border == BorderStyle::Sizable;
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    style |= sizable ? WS_THICKFRAME : 0;
    style |= m_def.minButton ? WS_MINIMIZEBOX : 0;
    style |= m_def.maxButton && sizable ? WS_MAXIMIZEBOX : 0;
    DWORD exStyle = WS_EX_CONTROLPARENT | (sizable ? 0 : WS_EX_DLGMODALFRAME);
    exStyle |= m_def.showInTaskbar ? WS_EX_APPWINDOW : 0;
    RECT outer{0, 0, Pixels(m_def.clientWidth), Pixels(m_def.clientHeight)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    if (m_def.startUp == StartUpPosition::CenterScreen ||
        m_def.startUp == StartUpPosition::CenterOwner) {
        RECT area;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        x = area.left + (area.right - area.left - width) / 2;
        y = area.top + (area.bottom - area.top - height) / 2;
    } else if (m_def.startUp == StartUpPosition::Manual) {
        x = y = 0;
    }
    m_hwnd = CreateWindowExW(exStyle, kFormClass, Widen(m_caption).c_str(), style, x, y, width,
                             height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hwnd)
        return;
    SetPropW(m_hwnd, kDialogProperty, reinterpret_cast<HANDLE>(1));
    // Containers first (the tab order), then sent below every other control, so the controls
    // inside them are drawn above them: a new child window goes to the bottom of the z-order.
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (IsContainer(m_entries[i]) == (pass == 0))
                CreateControl(m_entries[i], static_cast<int>(i) + kFirstId);
    for (const Entry& entry : m_entries)
        if (IsContainer(entry) && entry.hwnd)
            SetWindowPos(entry.hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32FormView::CreateControl(Entry& entry, int id) {
    const ControlDef& def = *entry.def;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    std::wstring text = Widen(def.text);
    switch (def.kind) {
    case ControlKind::Label:
        // A label one line high is never broken into lines it cannot show (Place widens it).
        style |= (IsOneLine(entry) ? SS_LEFTNOWORDWRAP : SS_LEFT) | SS_NOPREFIX;
        text = LabelText(def.text);
        break;
    case ControlKind::Image:
        style |= SS_ICON | SS_REALSIZECONTROL;
        text.clear();
        break;
    case ControlKind::Button:
        cls = L"BUTTON";
        style |= WS_TABSTOP | (def.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case ControlKind::CheckBox:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    case ControlKind::OptionButton:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTORADIOBUTTON;
        break;
    case ControlKind::ButtonStrip: // a band in a darker shade (WM_CTLCOLORSTATIC)
        text.clear();
        break;
    case ControlKind::PictureBox:
    case ControlKind::Animation:
        text.clear();
        break;
    case ControlKind::ProgressBar:
        cls = PROGRESS_CLASSW;
        text.clear();
        break;
    case ControlKind::Browser:
    case ControlKind::Invisible:
        return;
    }
    entry.hwnd = CreateWindowExW(0, cls, text.c_str(), style, 0, 0, 0, 0, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (!entry.hwnd)
        return;
    SendMessageW(entry.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    if (def.kind == ControlKind::ProgressBar)
        SendMessageW(entry.hwnd, PBM_SETRANGE32, 0, 100);
    if (def.kind == ControlKind::ButtonStrip)
        Win32ControlLook::AddStripLine(entry.hwnd);
    Place(entry);
    if (def.value != 0)
        SetValue(def.name, def.index, def.value);
}

POINT Win32FormView::Origin(const Entry& entry, int depth) const {
    if (entry.def->parent.empty() || depth > 8)
        return {0, 0};
    for (const Entry& parent : m_entries)
        if (parent.def->name == entry.def->parent && &parent != &entry) {
            const POINT above = Origin(parent, depth + 1);
            return {above.x + static_cast<LONG>(parent.rect.left),
                    above.y + static_cast<LONG>(parent.rect.top)};
        }
    return {0, 0};
}

void Win32FormView::Place(Entry& entry) {
    if (!entry.hwnd)
        return;
    const POINT origin = Origin(entry);
    int width = Pixels(entry.rect.width);
    if (entry.def->kind == ControlKind::Label && IsOneLine(entry)) {
        // Fonts differ between systems: a one-line label grows to its text rather than clip.
        width = std::max(width, Win32ControlLook::TextWidth(entry.hwnd, m_font) + 1);
    }
    MoveWindow(entry.hwnd, Pixels(origin.x + entry.rect.left), Pixels(origin.y + entry.rect.top),
               width, Pixels(entry.rect.height), TRUE);
}

bool Win32FormView::IsContainer(const Entry& entry) {
    return entry.def->kind == ControlKind::PictureBox ||
           entry.def->kind == ControlKind::ButtonStrip;
}

bool Win32FormView::IsOneLine(const Entry& entry) const {
    LOGFONTW font{};
    GetObjectW(m_font, sizeof(font), &font);
    return Pixels(entry.rect.height) < 2 * std::abs(font.lfHeight);
}

Win32FormView::Entry* Win32FormView::Find(const std::string& control, int index) {
    for (Entry& entry : m_entries)
        if (entry.def->name == control && entry.def->index == index)
            return &entry;
    return nullptr;
}

const Win32FormView::Entry* Win32FormView::Find(const std::string& control, int index) const {
    return const_cast<Win32FormView*>(this)->Find(control, index);
}

Win32FormView::Entry* Win32FormView::FindByName(const std::string& control) {
    if (Entry* entry = Find(control, -1))
        return entry;
    for (Entry& entry : m_entries)
        if (entry.def->name == control)
            return &entry;
    return nullptr;
}

HWND Win32FormView::Control(const std::string& control, int index) const {
    const Entry* entry = Find(control, index);
    return entry ? entry->hwnd : nullptr;
}

void Win32FormView::SetCaption(const std::string& text) {
    m_caption = text;
    if (m_hwnd)
        SetWindowTextW(m_hwnd, Widen(text).c_str());
}

void Win32FormView::SetText(const std::string& control, int index, const std::string& text) {
    Entry* entry = Find(control, index);
    if (!entry || !entry->hwnd)
        return;
    const bool label = entry->def->kind == ControlKind::Label;
    SetWindowTextW(entry->hwnd, (label ? LabelText(text) : Widen(text)).c_str());
    if (label)
        Place(*entry);
}

std::string Win32FormView::Text(const std::string& control, int index) const {
    const Entry* entry = Find(control, index);
    if (!entry)
        return {};
    return entry->hwnd ? Narrow(WindowText(entry->hwnd)) : entry->def->text;
}

void Win32FormView::SetValue(const std::string& control, int index, double value) {
    Entry* entry = Find(control, index);
    if (!entry || !entry->hwnd)
        return;
    switch (entry->def->kind) {
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
        SendMessageW(entry->hwnd, BM_SETCHECK,
                     value == 0   ? BST_UNCHECKED
                     : value == 2 ? BST_INDETERMINATE
                                  : BST_CHECKED,
                     0);
        break;
    case ControlKind::ProgressBar: {
        const double clamped = std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 100.0);
        SendMessageW(entry->hwnd, PBM_SETPOS, static_cast<WPARAM>(std::lround(clamped)), 0);
        break;
    }
    default:
        break;
    }
}

double Win32FormView::Value(const std::string& control, int index) const {
    const Entry* entry = Find(control, index);
    if (!entry || !entry->hwnd)
        return 0;
    switch (entry->def->kind) {
    case ControlKind::CheckBox:
    case ControlKind::OptionButton: {
        const LRESULT state = SendMessageW(entry->hwnd, BM_GETCHECK, 0, 0);
        return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
    }
    case ControlKind::ProgressBar:
        return static_cast<double>(SendMessageW(entry->hwnd, PBM_GETPOS, 0, 0));
    default:
        return 0;
    }
}

void Win32FormView::SetPicture(const std::string& control, const PicturePtr& picture) {
    Entry* entry = FindByName(control);
    if (!entry || !entry->hwnd || entry->def->kind != ControlKind::Image)
        return;
    HICON icon = IconFromPicture(picture, picture ? MulDiv(picture->size, m_dpi, 96) : 0);
    SendMessageW(entry->hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (entry->icon)
        DestroyIcon(entry->icon);
    entry->icon = icon;
}

void Win32FormView::SetWindowIcon(const PicturePtr& picture) {
    if (!m_hwnd)
        return;
    HICON icon = IconFromPicture(picture, GetSystemMetrics(SM_CXSMICON));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (m_windowIcon)
        DestroyIcon(m_windowIcon);
    m_windowIcon = icon;
}

void Win32FormView::ShowModal(WindowHandle owner) {
    if (!m_hwnd || m_modal)
        return;
    if (owner)
        SetOwner(owner);
    DisabledWindows disabled{m_hwnd, {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
    m_modal = true;
    ShowWindow(m_hwnd, SW_SHOW);
    SetForegroundWindow(m_hwnd);
    const std::weak_ptr<bool> alive = m_alive;
    while (!alive.expired() && *alive.lock() && m_hwnd && IsWindowVisible(m_hwnd)) {
        if (!Win32EventLoop::DispatchOne()) {
            MSG peek;
            if (PeekMessageW(&peek, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
                break; // the application quits: the modal wait ends with it
            Win32EventLoop::WaitForMessage();
        }
    }
    for (HWND hwnd : disabled.windows)
        if (IsWindow(hwnd))
            EnableWindow(hwnd, TRUE);
    if (!alive.expired() && *alive.lock())
        m_modal = false;
}

void Win32FormView::ShowModeless(WindowHandle owner) {
    if (!m_hwnd)
        return;
    if (owner)
        SetOwner(owner);
    ShowWindow(m_hwnd, SW_SHOW);
}

void Win32FormView::Hide() {
    if (m_hwnd)
        ShowWindow(m_hwnd, SW_HIDE);
}

bool Win32FormView::IsVisible() const {
    return m_hwnd && IsWindowVisible(m_hwnd);
}

TwipRect Win32FormView::Bounds() const {
    RECT r{};
    if (m_hwnd)
        GetWindowRect(m_hwnd, &r);
    return {Twips(r.left), Twips(r.top), Twips(r.right - r.left), Twips(r.bottom - r.top)};
}

void Win32FormView::Move(const TwipRect& rect) {
    if (!m_hwnd)
        return;
    const TwipRect now = Bounds();
    MoveWindow(m_hwnd, Pixels(rect.left), Pixels(rect.top),
               Pixels(rect.width < 0 ? now.width : rect.width),
               Pixels(rect.height < 0 ? now.height : rect.height), TRUE);
}

TwipRect Win32FormView::ClientSize() const {
    RECT r{};
    if (m_hwnd)
        GetClientRect(m_hwnd, &r);
    return {0, 0, Twips(r.right), Twips(r.bottom)};
}

void Win32FormView::MoveControl(const std::string& control, const TwipRect& rect) {
    Entry* entry = FindByName(control);
    if (!entry)
        return;
    const bool resized = (rect.width >= 0 && rect.width != entry->rect.width) ||
                         (rect.height >= 0 && rect.height != entry->rect.height);
    entry->rect = {rect.left, rect.top, rect.width < 0 ? entry->rect.width : rect.width,
                   rect.height < 0 ? entry->rect.height : rect.height};
    for (Entry& other : m_entries)
        Place(other); // the controls inside a moved container move with it
    if (resized && m_events)
        m_events->OnControlResize(entry->def->name);
}

TwipRect Win32FormView::ControlClientSize(const std::string& control) const {
    const Entry* entry = const_cast<Win32FormView*>(this)->FindByName(control);
    return entry ? TwipRect{0, 0, entry->rect.width, entry->rect.height} : TwipRect{};
}

WindowHandle Win32FormView::SetOwner(WindowHandle owner) {
    if (!m_hwnd)
        return 0;
    return static_cast<WindowHandle>(
        SetWindowLongPtrW(m_hwnd, GWLP_HWNDPARENT, static_cast<LONG_PTR>(owner)));
}

std::unique_ptr<IBrowserControl> Win32FormView::CreateBrowser(const std::string& container) {
    const Entry* entry = container.empty() ? nullptr : FindByName(container);
    const HWND parent = container.empty() ? m_hwnd : entry ? entry->hwnd : nullptr;
    return Win32BrowserControl::Create(parent, m_dpi);
}

std::unique_ptr<IAnimationPlayer> Win32FormView::CreateAnimation(const std::string& surface) {
    const Entry* entry = FindByName(surface);
    if (!entry || !entry->hwnd)
        return nullptr;
    return std::make_unique<Win32AnimationPlayer>(entry->hwnd, m_resources);
}

void Win32FormView::Destroy() {
    m_events = nullptr;
    if (m_hwnd) {
        HWND hwnd = m_hwnd;
        m_hwnd = nullptr; // ends a modal wait
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        RemovePropW(hwnd, kDialogProperty);
        DestroyWindow(hwnd);
    }
    for (Entry& entry : m_entries) {
        entry.hwnd = nullptr;
        if (entry.icon)
            DestroyIcon(entry.icon);
        entry.icon = nullptr;
    }
    if (m_windowIcon)
        DestroyIcon(m_windowIcon);
    m_windowIcon = nullptr;
}

Win32FormView::Entry* Win32FormView::ButtonFlagged(bool isDefault) {
    for (Entry& entry : m_entries)
        if (entry.def->kind == ControlKind::Button && entry.hwnd && IsWindowEnabled(entry.hwnd) &&
            (isDefault ? entry.def->isDefault : entry.def->isCancel))
            return &entry;
    return nullptr;
}

void Win32FormView::Click(Entry& entry) {
    if (m_events)
        m_events->OnClick(entry.def->name, entry.def->index);
}

LRESULT Win32FormView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) { // Enter and Escape through the dialog keyboard
            if (Entry* button = ButtonFlagged(id == IDOK))
                Click(*button);
            return 0;
        }
        const int position = id - kFirstId;
        if (HIWORD(wParam) == BN_CLICKED && position >= 0 &&
            position < static_cast<int>(m_entries.size()))
            Click(m_entries[static_cast<std::size_t>(position)]);
        return 0;
    }
    case DM_GETDEFID:
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].def->isDefault && m_entries[i].def->kind == ControlKind::Button)
                return MAKELRESULT(i + kFirstId, DC_HASDEFID);
        return 0;
    case WM_CLOSE:
        if (m_events)
            m_events->OnCloseRequested(UnloadMode::ControlMenu);
        return 0;
    case WM_QUERYENDSESSION:
        if (m_events)
            m_events->OnCloseRequested(UnloadMode::AppWindows);
        return TRUE;
    case WM_SIZE:
        if (m_events && !m_inResize) {
            m_inResize = true;
            m_events->OnResize();
            m_inResize = false;
        }
        return 0;
    case WM_CTLCOLORSTATIC: { // labels on the dialog face, not on white
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        for (const Entry& entry : m_entries)
            if (entry.hwnd == reinterpret_cast<HWND>(lParam) &&
                entry.def->kind == ControlKind::ButtonStrip)
                return reinterpret_cast<LRESULT>(StripBrush());
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
        return DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK Win32FormView::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->m_hwnd)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    // Held: a handler may destroy the view.
    const std::shared_ptr<bool> alive = self->m_alive;
    return self->OnMessage(msg, wParam, lParam);
}

} // namespace KDAutoUpdate
