#include "com/ComVariant.h"

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

std::optional<Variant> FromComVariant(const VARIANT& in) {
    VARIANT value;
    VariantInit(&value);
    // Copies by value, so a by-reference argument reads as what it points to.
    if (FAILED(VariantCopyInd(&value, const_cast<VARIANT*>(&in))))
        return std::nullopt;
    std::optional<Variant> result;
    switch (value.vt) {
    case VT_EMPTY:
        result = Variant();
        break;
    case VT_NULL:
        result = Variant::MakeNull();
        break;
    case VT_ERROR:
        if (value.scode == DISP_E_PARAMNOTFOUND)
            result = Variant();
        break;
    case VT_BOOL:
        result = Variant(value.boolVal != VARIANT_FALSE);
        break;
    case VT_I2:
        result = Variant(static_cast<std::int16_t>(value.iVal));
        break;
    case VT_UI1:
        result = Variant(static_cast<std::int16_t>(value.bVal));
        break;
    case VT_I4:
        result = Variant(static_cast<std::int32_t>(value.lVal));
        break;
    case VT_R4:
        result = Variant(static_cast<double>(value.fltVal));
        break;
    case VT_R8:
        result = Variant(value.dblVal);
        break;
    case VT_DATE:
        result = Variant(AutomationDate{value.date});
        break;
    case VT_BSTR:
        result = Variant(Narrow(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal))));
        break;
    default: {
        // Currency, decimals and the like: as a double, the way a script would pass them.
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(VariantChangeType(&number, &value, 0, VT_R8)))
            result = Variant(number.dblVal);
        VariantClear(&number);
    }
    }
    VariantClear(&value);
    return result;
}

void ToComVariant(const Variant& value, VARIANT& out) {
    VariantClear(&out);
    if (value.Is<bool>()) {
        out.vt = VT_BOOL;
        out.boolVal = value.Get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.Is<std::int16_t>()) {
        out.vt = VT_I2;
        out.iVal = value.Get<std::int16_t>();
    } else if (value.Is<std::int32_t>()) {
        out.vt = VT_I4;
        out.lVal = value.Get<std::int32_t>();
    } else if (value.Is<double>()) {
        out.vt = VT_R8;
        out.dblVal = value.Get<double>();
    } else if (value.Is<AutomationDate>()) {
        out.vt = VT_DATE;
        out.date = value.Get<AutomationDate>().value;
    } else if (value.Is<std::string>()) {
        const std::wstring wide = Widen(value.Get<std::string>());
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } else if (value.IsNull()) {
        out.vt = VT_NULL;
    }
}

} // namespace KDAutoUpdate
