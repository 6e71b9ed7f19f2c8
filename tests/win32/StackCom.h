#pragma once
// COM objects the tests keep on the stack: references are counted so a test can check what the
// code under test still holds, and never delete. The type information members of IDispatch
// are not called by the code under test.
#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <string>
#include <type_traits>

namespace KDAutoUpdate {

// The id of the agent's event interface in the type library.
inline constexpr IID kAgentEventsIid = {
    0x8A855A23, 0x467E, 0x4A42, {0x82, 0x9F, 0x5F, 0x3C, 0xDE, 0x11, 0x60, 0xE9}};

// A BSTR's text; the BSTR is freed.
inline std::wstring Take(BSTR text) {
    std::wstring value(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    return value;
}

template <class I> class StackObject : public I {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(I)) ||
            (std::is_base_of_v<IDispatch, I> && IsEqualIID(riid, IID_IDispatch))) {
            *object = static_cast<I*>(this);
            ++refs;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

template <class I = IDispatch> class StackDispatch : public StackObject<I> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
};

} // namespace KDAutoUpdate
