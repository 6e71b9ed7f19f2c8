#include "platform/win32/Win32BrowserClick.h"

#include <wrl/client.h>

namespace KDAutoUpdate {

namespace {

// The event object among the call's arguments, if the engine passed one.
Microsoft::WRL::ComPtr<IHTMLEventObj> EventOf(const DISPPARAMS* params) {
    Microsoft::WRL::ComPtr<IHTMLEventObj> event;
    if (!params || params->cArgs == 0 || !params->rgvarg)
        return event;
    // Arguments arrive last first: the first argument is the last in rgvarg.
    const VARIANT& first = params->rgvarg[params->cArgs - 1];
    IUnknown* object = nullptr;
    if (first.vt == VT_DISPATCH)
        object = first.pdispVal;
    else if (first.vt == VT_UNKNOWN)
        object = first.punkVal;
    if (object)
        object->QueryInterface(IID_PPV_ARGS(&event));
    return event;
}

} // namespace

HRESULT Win32BrowserClick::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO*, UINT*) {
    if (id != DISPID_VALUE)
        return DISP_E_MEMBERNOTFOUND;
    AddRef(); // the handler may close the page that holds this object
    bool keep = true;
    const Microsoft::WRL::ComPtr<IHTMLEventObj> event = EventOf(params);
    try {
        if (const Handler handler = m_handler)
            keep = handler(event.Get());
    } catch (...) {
        keep = false; // a failing handler counts as having cancelled
    }
    if (!keep && event) {
        VARIANT no;
        VariantInit(&no);
        no.vt = VT_BOOL;
        no.boolVal = VARIANT_FALSE;
        event->put_returnValue(no);
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
