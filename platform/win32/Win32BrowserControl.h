#pragma once
// The browser control of the messages window on the system's WebBrowser control: a child
// window that fills its container, with one WebBrowser object per browser (ids 1, 2, ...),
// only the one of ShowBrowser visible. The engine loads every page itself: http and https
// from the network, res:// from the resource library's HTML resources. Its events are passed
// on as the engine raises them, from the thread's message loop. Key strokes in a browser go
// to the page's accelerators, and through them to the host, before the dialog keyboard of the
// window sees them.

#include <windows.h>

#include <map>
#include <memory>

#include "platform/BrowserControl.h"
#include "platform/win32/Win32BrowserInstance.h"

namespace KDAutoUpdate {

class Win32BrowserControl final : public IBrowserControl {
public:
    // A control inside `container`, sized at `dpi`; null when the system has no HTML engine
    // (then no page could ever be shown) or the window cannot be made.
    static std::unique_ptr<Win32BrowserControl> Create(HWND container, int dpi);
    ~Win32BrowserControl() override;
    Win32BrowserControl(const Win32BrowserControl&) = delete;
    Win32BrowserControl& operator=(const Win32BrowserControl&) = delete;

    void SetEvents(IBrowserEvents* events) override { m_shared.events = events; }
    void SetHostUIFlags(long flags) override { m_shared.hostFlags = static_cast<DWORD>(flags); }
    bool AddBrowser(short& id) override;
    bool Navigate(short id, const std::string& url) override;
    bool ShowBrowser(short id) override;
    short VisibleBrowser() const override { return m_visible; }
    HtmlDocumentPtr Document(short id) override;
    WindowHandle Handle() const override;
    void Move(const TwipRect& rect) override;
    TwipRect Bounds() const override { return m_bounds; }
    void LockPainting(bool lock) override;
    bool IsPaintingLocked() const override { return m_locked; }

private:
    Win32BrowserControl(HWND window, int dpi, bool oleEntered);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);
    Win32BrowserInstance* Find(short id) const;

    Win32BrowserInstance::Shared m_shared;
    int m_dpi;
    bool m_oleEntered;
    std::map<short, std::unique_ptr<Win32BrowserInstance>> m_browsers;
    short m_visible = 0;
    short m_nextId = 1;
    TwipRect m_bounds;
    bool m_locked = false;
};

} // namespace KDAutoUpdate
