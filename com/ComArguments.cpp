#include "com/ComArguments.h"

#include <algorithm>
#include <optional>

#include "com/ComVariant.h"

namespace KDAutoUpdate {

namespace {

VARTYPE VariantTypeOf(AuType type) {
    switch (type) {
    case AuType::Boolean:
        return VT_BOOL;
    case AuType::Long:
        return VT_I4;
    case AuType::String:
        return VT_BSTR;
    case AuType::Date:
        return VT_DATE;
    case AuType::Object:
    case AuType::Void:
        break;
    }
    return VT_EMPTY;
}

// A method's argument left out: DISP_E_PARAMNOTFOUND, or Empty as scripts pass it.
bool IsMissing(const VARIANT& value, bool emptyIsMissing) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    if (v->vt == VT_EMPTY)
        return emptyIsMissing;
    if (v->vt == VT_ERROR)
        return v->scode == DISP_E_PARAMNOTFOUND;
    return v->vt == (VT_BYREF | VT_ERROR) && v->pscode && *v->pscode == DISP_E_PARAMNOTFOUND;
}

// The value as `type`: S_OK, or why it cannot be one.
HRESULT Convert(const VARIANT& in, AuType type, LCID lcid, bool emptyIsMissing, Variant& out) {
    if (IsMissing(in, emptyIsMissing)) {
        out = Variant();
        return S_OK;
    }
    const VARTYPE wanted = VariantTypeOf(type);
    if (wanted == VT_EMPTY) {
        // No conversion described (an argument too many): as it came, for the dispatcher.
        const std::optional<Variant> value = FromComVariant(in);
        if (!value)
            return DISP_E_TYPEMISMATCH;
        out = *value;
        return S_OK;
    }
    VARIANT converted;
    VariantInit(&converted);
    // Booleans become "True" and "False" in text, as the scripting languages print them.
    const USHORT flags = wanted == VT_BSTR ? VARIANT_ALPHABOOL : 0;
    HRESULT hr = VariantChangeTypeEx(&converted, const_cast<VARIANT*>(&in),
                                     lcid ? lcid : LOCALE_USER_DEFAULT, flags, wanted);
    if (SUCCEEDED(hr)) {
        const std::optional<Variant> value = FromComVariant(converted);
        if (value)
            out = *value;
        else
            hr = DISP_E_TYPEMISMATCH;
    }
    VariantClear(&converted);
    if (FAILED(hr) && hr != DISP_E_OVERFLOW)
        hr = DISP_E_TYPEMISMATCH;
    return hr;
}

bool SameName(std::string_view a, std::string_view b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

} // namespace

DISPID ComArguments::Position(const MemberDescription& member, std::string_view name) {
    for (std::size_t i = 0; i < member.arguments.size(); ++i)
        if (SameName(member.arguments[i].name, name))
            return static_cast<DISPID>(i);
    return DISPID_UNKNOWN;
}

HRESULT ComArguments::Collect(const MemberDescription& member, const DISPPARAMS* params,
                              LCID lcid, std::vector<Variant>& args, UINT& argumentError) {
    const UINT count = params ? params->cArgs : 0;
    const UINT named = params ? params->cNamedArgs : 0;
    if (named > count || (count && !params->rgvarg) || (named && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (member.kind == MemberKind::PropertyPut) {
        // The new value, passed alone: by position, or named DISPID_PROPERTYPUT as script
        // hosts pass it. Empty is a value here (0, "" or False), not a missing argument.
        for (UINT i = 0; i < named; ++i)
            if (params->rgdispidNamedArgs[i] != DISPID_PROPERTYPUT) {
                argumentError = i;
                return DISP_E_PARAMNOTFOUND;
            }
        if (count != 1)
            return DISP_E_BADPARAMCOUNT;
        args.assign(1, Variant());
        const HRESULT hr = Convert(params->rgvarg[0], member.type, lcid, false, args[0]);
        if (FAILED(hr))
            argumentError = 0;
        return hr;
    }
    const std::size_t described = member.arguments.size();
    const UINT positional = count - named;
    // For each position, the index into rgvarg of its argument (-1: not passed).
    std::vector<int> source(std::max<std::size_t>(described, positional), -1);
    for (UINT j = 0; j < positional; ++j)
        source[j] = static_cast<int>(count - 1 - j);
    for (UINT i = 0; i < named; ++i) {
        const DISPID id = params->rgdispidNamedArgs[i];
        // An argument named twice, or both by name and by position, is not one the member
        // has room for.
        if (id < 0 || static_cast<std::size_t>(id) >= described || source[id] != -1) {
            argumentError = i;
            return DISP_E_PARAMNOTFOUND;
        }
        source[id] = static_cast<int>(i);
    }
    args.assign(source.size(), Variant());
    for (std::size_t at = 0; at < source.size(); ++at) {
        if (source[at] < 0)
            continue;
        // Beyond the described arguments: passed on as they are, for the dispatcher to refuse.
        const AuType type = at < described ? member.arguments[at].type : AuType::Void;
        const HRESULT hr = Convert(params->rgvarg[source[at]], type, lcid, true, args[at]);
        if (FAILED(hr)) {
            argumentError = static_cast<UINT>(source[at]);
            return hr;
        }
    }
    return S_OK;
}

} // namespace KDAutoUpdate
