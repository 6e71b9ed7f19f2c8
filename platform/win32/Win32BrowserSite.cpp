#include "platform/win32/Win32BrowserSite.h"

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

constexpr DWORD kNo3DBorder = 0x4; // DOCHOSTUIFLAG_NO3DBORDER: the page sits flat in its box

int Modifiers() {
    int modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        modifiers |= 1;
    if (GetKeyState(VK_CONTROL) < 0)
        modifiers |= 2;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= 4;
    return modifiers;
}

} // namespace

HRESULT Win32BrowserSite::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(riid, __uuidof(IDocHostShowUI)))
        *object = static_cast<IDocHostShowUI*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Win32BrowserSite::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT Win32BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT Win32BrowserSite::GetContainer(IOleContainer** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT Win32BrowserSite::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = m_host ? m_host->SiteWindow() : nullptr;
    return *window ? S_OK : E_FAIL;
}

HRESULT Win32BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                           LPRECT position, LPRECT clip,
                                           LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !doc || !position || !clip || !info)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    const HWND window = m_host ? m_host->SiteWindow() : nullptr;
    RECT client{};
    if (window)
        GetClientRect(window, &client);
    *position = client;
    *clip = client;
    info->fMDIApp = FALSE;
    info->hwndFrame = window ? GetAncestor(window, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT Win32BrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info)
        return E_POINTER;
    info->cbSize = sizeof(DOCHOSTUIINFO);
    info->dwFlags = (m_host ? m_host->HostFlags() : 0) | kNo3DBorder;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

HRESULT Win32BrowserSite::TranslateAccelerator(LPMSG message, const GUID*, DWORD) {
    if (!message || !m_host ||
        (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
        return S_FALSE;
    return m_host->KeyHandled(static_cast<int>(message->wParam), Modifiers()) ? S_OK : S_FALSE;
}

HRESULT Win32BrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key)
        *key = nullptr;
    return S_FALSE; // the system's settings
}

HRESULT Win32BrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target)
        *target = nullptr;
    return E_NOTIMPL;
}

HRESULT Win32BrowserSite::GetExternal(IDispatch** external) {
    if (external)
        *external = nullptr;
    return S_FALSE;
}

HRESULT Win32BrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
    if (out)
        *out = nullptr;
    return S_FALSE;
}

HRESULT Win32BrowserSite::FilterDataObject(IDataObject*, IDataObject** out) {
    if (out)
        *out = nullptr;
    return S_FALSE;
}

HRESULT Win32BrowserSite::ShowMessage(HWND, LPOLESTR text, LPOLESTR caption, DWORD, LPOLESTR, DWORD,
                                      LRESULT* result) {
    if (!m_host || !m_host->MessageHandled(text ? Narrow(text) : std::string(),
                                           caption ? Narrow(caption) : std::string()))
        return S_FALSE; // the engine shows its own box
    if (result)
        *result = 0;
    return S_OK;
}

} // namespace KDAutoUpdate
