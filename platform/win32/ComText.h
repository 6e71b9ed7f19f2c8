#pragma once
// BSTR and VARIANT holders for COM calls, released on every path.

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

class ComString {
public:
    ComString() = default;
    explicit ComString(const std::string& text) {
        const std::wstring wide = Widen(text);
        m_bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~ComString() { SysFreeString(m_bstr); }
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;

    BSTR get() const { return m_bstr; }
    BSTR* out() {
        SysFreeString(m_bstr);
        m_bstr = nullptr;
        return &m_bstr;
    }
    std::string str() const { return Narrow(m_bstr, static_cast<int>(SysStringLen(m_bstr))); }

private:
    BSTR m_bstr = nullptr;
};

class ComVariant {
public:
    ComVariant() { VariantInit(&m_value); }
    explicit ComVariant(const std::string& text) : ComVariant() {
        const std::wstring wide = Widen(text);
        m_value.vt = VT_BSTR;
        m_value.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~ComVariant() { VariantClear(&m_value); }
    ComVariant(const ComVariant&) = delete;
    ComVariant& operator=(const ComVariant&) = delete;

    VARIANT& get() { return m_value; }
    VARIANT* out() {
        VariantClear(&m_value);
        return &m_value;
    }

private:
    VARIANT m_value;
};

} // namespace KDAutoUpdate
