#include "platform/win32/Win32BrowserClick.h"

namespace KDAutoUpdate {

HRESULT Win32BrowserClick::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Win32BrowserClick::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT Win32BrowserClick::GetTypeInfoCount(UINT* count) {
    if (count)
        *count = 0;
    return S_OK;
}

HRESULT Win32BrowserClick::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
    if (id != DISPID_VALUE)
        return DISP_E_MEMBERNOTFOUND;
    AddRef(); // the handler may close the page that holds this object
    bool keep = true;
    if (const std::function<bool()> handler = m_handler) {
        try {
            keep = handler();
        } catch (...) {
            keep = false; // a failing handler counts as having cancelled
        }
    }
    Release();
    if (result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = keep ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

} // namespace KDAutoUpdate
