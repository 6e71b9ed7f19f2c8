#include "platform/win32/Win32BrowserEvents.h"

#include <exdisp.h>
#include <exdispid.h>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

// An argument as passed, by value or by reference to a variant.
const VARIANT* Value(const VARIANT& argument) {
    if (argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal)
        return argument.pvarVal;
    return &argument;
}

std::string Text(const VARIANT& argument) {
    const VARIANT* value = Value(argument);
    if (value->vt == VT_BSTR && value->bstrVal)
        return Narrow(value->bstrVal, static_cast<int>(SysStringLen(value->bstrVal)));
    if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal && *value->pbstrVal)
        return Narrow(*value->pbstrVal, static_cast<int>(SysStringLen(*value->pbstrVal)));
    return {};
}

long Number(const VARIANT& argument) {
    VARIANT value = *Value(argument); // a shallow copy, never cleared
    VARIANT converted;
    VariantInit(&converted);
    long number = 0;
    if (SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_I4)))
        number = converted.lVal;
    VariantClear(&converted);
    return number;
}

IDispatch* Frame(const VARIANT& argument) {
    const VARIANT* value = Value(argument);
    return value->vt == VT_DISPATCH ? value->pdispVal : nullptr;
}

// A VARIANT_BOOL by reference: read, then written back.
VARIANT_BOOL* Flag(const VARIANT& argument) {
    const VARIANT* value = Value(argument);
    return value->vt == (VT_BYREF | VT_BOOL) ? value->pboolVal : nullptr;
}

} // namespace

HRESULT Win32BrowserEvents::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Win32BrowserEvents::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT Win32BrowserEvents::GetTypeInfoCount(UINT* count) {
    if (count)
        *count = 0;
    return S_OK;
}

HRESULT Win32BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    if (!params || !m_host)
        return S_OK;
    // The arguments arrive last first.
    const UINT count = params->cArgs;
    const VARIANT* args = params->rgvarg;
    AddRef(); // a handler may release the browser and with it this sink
    switch (id) {
    case DISPID_DOCUMENTCOMPLETE: // (pDisp, URL)
        if (count == 2 && m_host->IsTopFrame(Frame(args[1])))
            m_host->DocumentComplete(Text(args[0]));
        break;
    case DISPID_NAVIGATEERROR: // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
        if (count == 5 && m_host->IsTopFrame(Frame(args[4]))) {
            VARIANT_BOOL* flag = Flag(args[0]);
            bool cancel = flag && *flag != VARIANT_FALSE;
            m_host->NavigateError(Text(args[3]), Number(args[1]), cancel);
            if (flag)
                *flag = cancel ? VARIANT_TRUE : VARIANT_FALSE;
        }
        break;
    case DISPID_NEWWINDOW3: { // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
        VARIANT_BOOL* flag = count == 5 ? Flag(args[3]) : nullptr;
        if (flag) {
            bool cancel = *flag != VARIANT_FALSE;
            m_host->NewWindow3(cancel, Text(args[0]));
            *flag = cancel ? VARIANT_TRUE : VARIANT_FALSE;
        }
        break;
    }
    default:
        break;
    }
    Release();
    return S_OK;
}

} // namespace KDAutoUpdate
