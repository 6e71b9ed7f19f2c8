#pragma once
// The vtable half of a published object's dual interface. Each member forwards to the object's
// own IDispatch::Invoke with its dispatch id, so early-bound hosts (C++, VB) reach the same
// dispatcher as script hosts; a failure comes back as its HRESULT with the thread's error
// object (IErrorInfo) set, which is how vtable callers learn source and description.
// The members themselves are written from the automation description (ComDualInterfaces.cpp).

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <cstddef>
#include <memory>
#include <string_view>

#include "com/ComBarrier.h"

namespace KDAutoUpdate {

namespace DualCall {

// Arguments as VARIANTs that borrow the caller's values.
VARIANT Arg(BSTR value);
VARIANT Arg(VARIANT_BOOL value);
VARIANT Arg(LONG value);
VARIANT Arg(DATE value);
// An optional by-reference argument; a null pointer is a missing argument.
VARIANT Arg(VARIANT_BOOL* value);

// `args` in the caller's order; `iid` names the interface in the error object.
HRESULT Invoke(IDispatch& target, REFIID iid, DISPID id, WORD flags, VARIANT* args, UINT count,
               VARIANT* result);

// Moves a result into the caller's [out, retval] pointer, converting where needed.
HRESULT Take(VARIANT& value, BSTR* out);
HRESULT Take(VARIANT& value, VARIANT_BOOL* out);
HRESULT Take(VARIANT& value, LONG* out);
HRESULT Take(VARIANT& value, DATE* out);
HRESULT Take(VARIANT& value, IDispatch** out);
template <class I> HRESULT Take(VARIANT& value, I** out) {
    *out = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> object;
    HRESULT hr = Take(value, object.GetAddressOf());
    if (SUCCEEDED(hr) && object)
        hr = object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(out));
    return hr;
}

} // namespace DualCall

// Identity, lifetime and the IDispatch slots are the owning object's. Every vtable member
// runs inside the exception barrier.
template <class I> class ComDual : public I {
public:
    explicit ComDual(IDispatch& owner) : m_owner(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return m_owner.QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return m_owner.GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return m_owner.GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return m_owner.GetIDsOfNames(riid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        return m_owner.Invoke(id, riid, lcid, flags, params, result, exception, argumentError);
    }

protected:
    template <class R> HRESULT Get(DISPID id, R* result) {
        return ComBarrier::Run(__uuidof(I), [&] {
            return result ? Fetch(id, DISPATCH_PROPERTYGET, result) : E_POINTER;
        });
    }
    template <class V> HRESULT Put(DISPID id, V value) {
        return ComBarrier::Run(__uuidof(I), [&] {
            VARIANT arg = DualCall::Arg(value);
            return DualCall::Invoke(m_owner, __uuidof(I), id, DISPATCH_PROPERTYPUT, &arg, 1,
                                    nullptr);
        });
    }
    template <class R, class... A> HRESULT Call(DISPID id, R* result, A... args) {
        return ComBarrier::Run(__uuidof(I), [&] {
            return result ? Fetch(id, DISPATCH_METHOD, result, args...) : E_POINTER;
        });
    }
    template <class... A> HRESULT Call(DISPID id, std::nullptr_t, A... args) {
        return ComBarrier::Run(__uuidof(I), [&] {
            VARIANT list[sizeof...(A) + 1] = {DualCall::Arg(args)...};
            return DualCall::Invoke(m_owner, __uuidof(I), id, DISPATCH_METHOD, list,
                                    sizeof...(A), nullptr);
        });
    }

private:
    template <class R, class... A> HRESULT Fetch(DISPID id, WORD flags, R* result, A... args) {
        VARIANT list[sizeof...(A) + 1] = {DualCall::Arg(args)...};
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = DualCall::Invoke(m_owner, __uuidof(I), id, flags, list, sizeof...(A), &value);
        if (SUCCEEDED(hr))
            hr = DualCall::Take(value, result);
        VariantClear(&value);
        return hr;
    }

    IDispatch& m_owner;
};

// The dual interface `interfaceName` of `owner`, written from the automation description;
// null for an interface the type library does not have.
std::shared_ptr<IDispatch> NewDualInterface(std::string_view interfaceName, IDispatch& owner);

} // namespace KDAutoUpdate
