#pragma once
// The DWebBrowserEvents2 sink of one WebBrowser object: of the browser's events it passes on
// the finished document, the failed navigation and the page's wish for a new window, each of
// the top-level frame only (a page's frames load and fail on their own).

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace KDAutoUpdate {

class Win32BrowserEvents final : public IDispatch {
public:
    class Host {
    public:
        virtual ~Host() = default;
        // Whether `frame` (the event's browser object) is the top-level one.
        virtual bool IsTopFrame(IDispatch* frame) const = 0;
        virtual void DocumentComplete(const std::string& url) = 0;
        virtual void NavigateError(const std::string& url, long statusCode, bool& cancel) = 0;
        virtual void NewWindow3(bool& cancel, const std::string& url) = 0;
    };

    explicit Win32BrowserEvents(Host* host) : m_host(host) {}
    void Detach() { m_host = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override;

private:
    ~Win32BrowserEvents() = default;

    ULONG m_refs = 1;
    Host* m_host;
};

} // namespace KDAutoUpdate
