#pragma once
// A click handler attached to an element (IHTMLElement2) or a document (IHTMLDocument3) beside
// the page's own handlers, as attachEvent adds one: the page's onclick and whatever its scripts
// attached keep running. Binding anew takes off what this binding attached before, and nothing
// else; so does a binding that goes.

#include <windows.h>

#include <mshtml.h>
#include <wrl/client.h>

#include "platform/win32/AdoptComPtr.h"
#include "platform/win32/Win32BrowserClick.h"

namespace KDAutoUpdate {

template <class Target> class Win32BrowserClickBinding {
public:
    Win32BrowserClickBinding() = default;
    ~Win32BrowserClickBinding() { Unbind(); }
    Win32BrowserClickBinding(const Win32BrowserClickBinding&) = delete;
    Win32BrowserClickBinding& operator=(const Win32BrowserClickBinding&) = delete;

    // A null handler only takes off the one bound before. False when the target refused it.
    bool Bind(Microsoft::WRL::ComPtr<Target> target, Win32BrowserClick::Handler handler) {
        Unbind();
        if (!target || !handler)
            return true;
        Microsoft::WRL::ComPtr<IDispatch> click =
            AdoptComPtr<IDispatch>(new Win32BrowserClick(std::move(handler)));
        BSTR onclick = SysAllocString(L"onclick");
        VARIANT_BOOL attached = VARIANT_FALSE;
        const HRESULT hr = target->attachEvent(onclick, click.Get(), &attached);
        SysFreeString(onclick);
        if (FAILED(hr) || attached == VARIANT_FALSE)
            return false;
        m_target = std::move(target);
        m_click = std::move(click);
        return true;
    }

    void Unbind() {
        if (m_target && m_click) {
            BSTR onclick = SysAllocString(L"onclick");
            m_target->detachEvent(onclick, m_click.Get());
            SysFreeString(onclick);
        }
        m_target.Reset();
        m_click.Reset();
    }

private:
    Microsoft::WRL::ComPtr<Target> m_target;
    Microsoft::WRL::ComPtr<IDispatch> m_click;
};

} // namespace KDAutoUpdate
