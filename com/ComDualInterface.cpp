#include "com/ComDualInterface.h"

#include <vector>

#include "com/ComErrorInfo.h"

namespace KDAutoUpdate::DualCall {

VARIANT Arg(BSTR value) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = value;
    return v;
}

VARIANT Arg(VARIANT_BOOL value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value;
    return v;
}

VARIANT Arg(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Arg(DATE value) {
    VARIANT v;
    v.vt = VT_DATE;
    v.date = value;
    return v;
}

VARIANT Arg(VARIANT_BOOL* value) {
    VARIANT v;
    if (value) {
        v.vt = VT_BOOL | VT_BYREF;
        v.pboolVal = value;
    } else {
        v.vt = VT_ERROR;
        v.scode = DISP_E_PARAMNOTFOUND;
    }
    return v;
}

namespace {

HRESULT Converted(VARIANT& value, VARTYPE type) {
    return value.vt == type ? S_OK : VariantChangeType(&value, &value, 0, type);
}

} // namespace

HRESULT Invoke(IDispatch& target, REFIID iid, DISPID id, WORD flags, VARIANT* args, UINT count,
               VARIANT* result) {
    // Invoke takes the arguments last first.
    std::vector<VARIANT> reversed(args, args + count);
    for (UINT i = 0; i < count / 2; ++i)
        std::swap(reversed[i], reversed[count - 1 - i]);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, count, 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argumentError = 0;
    SetErrorInfo(0, nullptr);
    HRESULT hr = target.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                               &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        // The error object a vtable caller reads with GetErrorInfo.
        ComErrorInfo::Set(iid, exception.bstrSource, exception.bstrDescription);
        hr = exception.scode ? exception.scode : E_FAIL;
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT Take(VARIANT& value, BSTR* out) {
    *out = nullptr;
    const HRESULT hr = Converted(value, VT_BSTR);
    if (SUCCEEDED(hr)) {
        *out = value.bstrVal; // the caller owns it now
        value.vt = VT_EMPTY;
    }
    return hr;
}

HRESULT Take(VARIANT& value, VARIANT_BOOL* out) {
    const HRESULT hr = Converted(value, VT_BOOL);
    *out = SUCCEEDED(hr) ? value.boolVal : VARIANT_FALSE;
    return hr;
}

HRESULT Take(VARIANT& value, LONG* out) {
    const HRESULT hr = Converted(value, VT_I4);
    *out = SUCCEEDED(hr) ? value.lVal : 0;
    return hr;
}

HRESULT Take(VARIANT& value, DATE* out) {
    const HRESULT hr = Converted(value, VT_DATE);
    *out = SUCCEEDED(hr) ? value.date : 0;
    return hr;
}

HRESULT Take(VARIANT& value, IDispatch** out) {
    *out = nullptr;
    if (value.vt == VT_EMPTY || value.vt == VT_NULL)
        return S_OK;
    const HRESULT hr = Converted(value, VT_DISPATCH);
    if (SUCCEEDED(hr)) {
        *out = value.pdispVal;
        value.vt = VT_EMPTY;
    }
    return hr;
}

} // namespace KDAutoUpdate::DualCall
