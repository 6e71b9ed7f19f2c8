#pragma once
// The onreadystatechange handler handed to MSXML: a bare IDispatch whose default member runs a
// callback. The document detaches it before it goes, so a late call finds nothing to run.

#include <windows.h>

#include <oaidl.h>

#include <functional>

namespace KDAutoUpdate {

class ReadyStateSink : public IDispatch {
public:
    explicit ReadyStateSink(std::function<void()> callback) : m_callback(std::move(callback)) {}
    void Detach() { m_callback = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    virtual ~ReadyStateSink() = default;
    ULONG m_refs = 1;
    std::function<void()> m_callback;
};

} // namespace KDAutoUpdate
