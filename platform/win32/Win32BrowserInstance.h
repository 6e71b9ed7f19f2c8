#pragma once
// One browser of the control: a WebBrowser object activated in place in the control's window,
// with its site and event sink. Its events go to the control's IBrowserEvents under its id.

#include <windows.h>

#include <exdisp.h>
#include <ole2.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "platform/BrowserControl.h"
#include "platform/win32/Win32BrowserEvents.h"
#include "platform/win32/Win32BrowserSite.h"

namespace KDAutoUpdate {

class Win32BrowserInstance final : private Win32BrowserSite::Host,
                                   private Win32BrowserEvents::Host {
public:
    // What the instances of one control share: its window, the host's UI flags and its events.
    struct Shared {
        HWND window = nullptr;
        DWORD hostFlags = 0;
        IBrowserEvents* events = nullptr;
    };

    // Null when the system cannot make or activate a WebBrowser object.
    static std::unique_ptr<Win32BrowserInstance> Create(short id, const Shared& shared);
    ~Win32BrowserInstance() override;
    Win32BrowserInstance(const Win32BrowserInstance&) = delete;
    Win32BrowserInstance& operator=(const Win32BrowserInstance&) = delete;

    bool Navigate(const std::string& url);
    HtmlDocumentPtr Document() const;
    void Show(bool visible);
    // Fills the control's window.
    void Fit();
    // Offers a key message to the page (accelerators, Tab); true when it took it.
    bool TranslateKey(MSG& message);
    // Whether `window` is this browser's or one of its children.
    bool Owns(HWND window) const;

private:
    Win32BrowserInstance(short id, const Shared& shared);
    bool Activate();
    HWND ObjectWindow() const;

    // Win32BrowserSite::Host
    HWND SiteWindow() const override { return m_shared.window; }
    DWORD HostFlags() const override { return m_shared.hostFlags; }
    bool KeyHandled(int keyCode, int modifiers) override;
    bool MessageHandled(const std::string& text, const std::string& caption) override;
    // Win32BrowserEvents::Host
    bool IsTopFrame(IDispatch* frame) const override;
    void DocumentComplete(const std::string& url) override;
    void NavigateError(const std::string& url, long statusCode, bool& cancel) override;
    void NewWindow3(bool& cancel, const std::string& url) override;

    const short m_id;
    const Shared& m_shared;
    Win32BrowserSite* m_site;
    Win32BrowserEvents* m_sink;
    Microsoft::WRL::ComPtr<IOleObject> m_object;
    Microsoft::WRL::ComPtr<IWebBrowser2> m_browser;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_connection;
    DWORD m_cookie = 0;
};

} // namespace KDAutoUpdate
