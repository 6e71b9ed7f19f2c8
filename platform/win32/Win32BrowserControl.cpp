#include "platform/win32/Win32BrowserControl.h"

#include <mshtml.h>
#include <wrl/client.h>

#include <vector>

namespace KDAutoUpdate {

namespace {

constexpr wchar_t kWindowClass[] = L"KDAutoUpdate.Browser";

// The controls of this thread, for the key hook, and the hook while there are any.
thread_local std::vector<Win32BrowserControl*> tControls;
thread_local HHOOK tHook = nullptr;

// The WebBrowser object is a shell of the HTML engine: without the engine's document class
// no page can ever load, so the control is not made at all.
bool HasHtmlEngine() {
    Microsoft::WRL::ComPtr<IUnknown> document;
    return SUCCEEDED(CoCreateInstance(__uuidof(HTMLDocument), nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&document)));
}

void RegisterWindowClass(WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc); // a second control finds it registered
}

} // namespace

std::unique_ptr<Win32BrowserControl> Win32BrowserControl::Create(HWND container, int dpi) {
    if (!container || dpi <= 0)
        return nullptr;
    // In-place activation needs OLE on this thread, not only COM.
    const bool oleEntered = SUCCEEDED(OleInitialize(nullptr));
    if (!HasHtmlEngine()) {
        if (oleEntered)
            OleUninitialize();
        return nullptr;
    }
    RegisterWindowClass(&WindowProc);
    // The container's own painting must leave the browser alone.
    SetWindowLongPtrW(container, GWL_STYLE,
                      GetWindowLongPtrW(container, GWL_STYLE) | WS_CLIPCHILDREN);
    RECT client{};
    GetClientRect(container, &client);
    const HWND window = CreateWindowExW(
        0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
        client.right, client.bottom, container, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        if (oleEntered)
            OleUninitialize();
        return nullptr;
    }
    std::unique_ptr<Win32BrowserControl> control(new Win32BrowserControl(window, dpi, oleEntered));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control.get()));
    return control;
}

Win32BrowserControl::Win32BrowserControl(HWND window, int dpi, bool oleEntered)
    : m_dpi(dpi), m_oleEntered(oleEntered) {
    m_shared.window = window;
    RECT client{};
    GetClientRect(window, &client);
    m_bounds = {0, 0, client.right * 1440.0 / dpi, client.bottom * 1440.0 / dpi};
    tControls.push_back(this);
    if (!tHook)
        tHook = SetWindowsHookExW(WH_GETMESSAGE, &KeyHook, nullptr, GetCurrentThreadId());
}

Win32BrowserControl::~Win32BrowserControl() {
    m_shared.events = nullptr;
    m_browsers.clear(); // while their window still exists
    if (IsWindow(m_shared.window)) {
        SetWindowLongPtrW(m_shared.window, GWLP_USERDATA, 0);
        DestroyWindow(m_shared.window);
    }
    std::erase(tControls, this);
    if (tControls.empty() && tHook) {
        UnhookWindowsHookEx(tHook);
        tHook = nullptr;
    }
    if (m_oleEntered)
        OleUninitialize();
}

Win32BrowserInstance* Win32BrowserControl::Find(short id) const {
    const auto it = m_browsers.find(id);
    return it == m_browsers.end() ? nullptr : it->second.get();
}

bool Win32BrowserControl::AddBrowser(short& id) {
    if (!IsWindow(m_shared.window))
        return false;
    auto instance = Win32BrowserInstance::Create(m_nextId, m_shared);
    if (!instance)
        return false;
    id = m_nextId++;
    m_browsers.emplace(id, std::move(instance));
    return true;
}

bool Win32BrowserControl::Navigate(short id, const std::string& url) {
    Win32BrowserInstance* instance = Find(id);
    return instance && instance->Navigate(url);
}

bool Win32BrowserControl::ShowBrowser(short id) {
    Win32BrowserInstance* shown = Find(id);
    if (!shown)
        return false;
    for (const auto& [other, instance] : m_browsers)
        if (other != id)
            instance->Show(false);
    shown->Fit();
    shown->Show(true);
    m_visible = id;
    return true;
}

HtmlDocumentPtr Win32BrowserControl::Document(short id) {
    Win32BrowserInstance* instance = Find(id);
    return instance ? instance->Document() : nullptr;
}

WindowHandle Win32BrowserControl::Handle() const {
    return reinterpret_cast<WindowHandle>(m_shared.window);
}

void Win32BrowserControl::Move(const TwipRect& rect) {
    m_bounds = rect;
    MoveWindow(m_shared.window, MulDiv(static_cast<int>(rect.left), m_dpi, 1440),
               MulDiv(static_cast<int>(rect.top), m_dpi, 1440),
               MulDiv(static_cast<int>(rect.width), m_dpi, 1440),
               MulDiv(static_cast<int>(rect.height), m_dpi, 1440), !m_locked);
}

void Win32BrowserControl::LockPainting(bool lock) {
    m_locked = lock;
    SendMessageW(m_shared.window, WM_SETREDRAW, lock ? FALSE : TRUE, 0);
    if (!lock)
        RedrawWindow(m_shared.window, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK Win32BrowserControl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                 LPARAM lParam) {
    auto* self = reinterpret_cast<Win32BrowserControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_SIZE)
        for (const auto& [id, instance] : self->m_browsers)
            instance->Fit();
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32BrowserControl::KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST) {
        // A copy: the page's handlers may end the control while it looks at the key.
        const std::vector<Win32BrowserControl*> controls = tControls;
        for (Win32BrowserControl* control : controls) {
            Win32BrowserInstance* shown = control->Find(control->m_visible);
            if (shown && shown->Owns(message->hwnd)) {
                if (shown->TranslateKey(*message))
                    message->message = WM_NULL; // taken: the loop dispatches nothing
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace KDAutoUpdate
