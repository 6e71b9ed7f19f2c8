#pragma once
// An onclick handler handed to the HTML engine: a bare IDispatch whose default member runs the
// host's handler. Its answer is the handler's return value, so false cancels the click's
// default action; the engine bubbles the click from the element through its ancestors to the
// document by itself.

#include <windows.h>

#include <oaidl.h>

#include <functional>

namespace KDAutoUpdate {

class Win32BrowserClick final : public IDispatch {
public:
    explicit Win32BrowserClick(std::function<bool()> handler) : m_handler(std::move(handler)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

private:
    ~Win32BrowserClick() = default;

    ULONG m_refs = 1;
    std::function<bool()> m_handler;
};

} // namespace KDAutoUpdate
