#pragma once
// An agent behind the COM object's IDispatch, called as a script or VB host calls it: members
// and arguments by name through GetIDsOfNames, values in VARIANTs through Invoke.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <string>
#include <vector>

#include "agent/AuAgent.h"
#include "com/ComObject.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {

// A VARIANT that clears itself.
struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    explicit Value(const wchar_t* text) : Value() {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    explicit Value(double number) : Value() {
        v.vt = VT_R8;
        v.dblVal = number;
    }
    explicit Value(bool flag) : Value() {
        v.vt = VT_BOOL;
        v.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    static Value Long(LONG number) {
        Value value;
        value.v.vt = VT_I4;
        value.v.lVal = number;
        return value;
    }
    Value(Value&& other) noexcept : v(other.v) { other.v.vt = VT_EMPTY; }
    Value(const Value&) = delete;
    ~Value() { VariantClear(&v); }
    std::wstring Text() const {
        return v.vt == VT_BSTR ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"?";
    }
};

struct InvokeOutcome {
    HRESULT hr = E_FAIL;
    UINT argumentError = ~0u;
    Value result;
    EXCEPINFO exception{};
    ~InvokeOutcome() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

class AgentDispatch {
public:
    AgentDispatch() {
        m_object = ComObject::Make(AuAgentClass(), m_agent, nullptr);
        m_object.As(&m_dispatch);
    }

    IDispatch& Dispatch() { return *m_dispatch.Get(); }
    AuAgent& Agent() { return *m_agent; }

    // The ids of a member and its argument names; the HRESULT in `hr`.
    std::vector<DISPID> Ids(const std::vector<const wchar_t*>& names, HRESULT* hr = nullptr) {
        std::vector<LPOLESTR> list;
        for (const wchar_t* name : names)
            list.push_back(const_cast<LPOLESTR>(name));
        std::vector<DISPID> ids(list.size(), 12345);
        const HRESULT result = m_dispatch->GetIDsOfNames(
            IID_NULL, list.data(), static_cast<UINT>(list.size()), LOCALE_USER_DEFAULT, ids.data());
        if (hr)
            *hr = result;
        return ids;
    }

    DISPID Id(const wchar_t* name) { return Ids({name}).front(); }

    // `args` in rgvarg's order: named ones first (with `named` their ids), then the
    // positional ones last first.
    void Invoke(InvokeOutcome& out, const wchar_t* member, WORD flags, std::vector<VARIANT> args,
                std::vector<DISPID> named = {}) {
        DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(named.size())};
        out.hr = m_dispatch->Invoke(Id(member), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    &out.result.v, &out.exception, &out.argumentError);
    }

    // agent.<member> = value, as script hosts pass it.
    HRESULT Put(const wchar_t* member, const VARIANT& value, UINT* argumentError = nullptr) {
        InvokeOutcome out;
        Invoke(out, member, DISPATCH_PROPERTYPUT, {value}, {DISPID_PROPERTYPUT});
        if (argumentError)
            *argumentError = out.argumentError;
        return out.hr;
    }

    Value Get(const wchar_t* member) {
        InvokeOutcome out;
        Invoke(out, member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {});
        EXPECT_HRESULT_SUCCEEDED(out.hr);
        return std::move(out.result);
    }

private:
    Win32Platform m_host;
    std::shared_ptr<AuAgent> m_agent = std::make_shared<AuAgent>(m_host.platform());
    Microsoft::WRL::ComPtr<ComObject> m_object;
    Microsoft::WRL::ComPtr<IDispatch> m_dispatch;
};

} // namespace KDAutoUpdate
