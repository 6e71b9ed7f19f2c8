// An agent behind the COM object's IDispatch, called as a script or VB host calls it. Values a
// host assigns or passes reach the agent converted as the automation runtime converts them:
// text read from an INI file or the registry becomes a number or a Boolean, doubles round to
// Long, by-reference values are read through; what cannot be converted is a type mismatch (or
// an overflow) naming the argument at fault, and leaves the property as it was. Arguments may
// come by name, as VB and VBA pass them late-bound (`agent.CheckMessages bAsync:=False`):
// GetIDsOfNames answers a method's argument names with their positions, and Invoke places
// named arguments there; a name or position the member does not have is refused.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <string>
#include <vector>

#include "agent/AuAgent.h"
#include "com/ComObject.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

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

class ComConversion : public ::testing::Test {
protected:
    ComConversion() {
        ComObject::Make(AuAgentClass(), agent, nullptr).As(&dispatch);
        agent->SetProductCode("{5E1B8A44-1D2C-4F00-9A11-0123456789AB}");
        agent->SetBaseURL("http://127.0.0.1:9/services"); // nothing answers there
    }

    // The ids of a member and its argument names; the HRESULT in `hr`.
    std::vector<DISPID> Ids(const std::vector<const wchar_t*>& names, HRESULT* hr = nullptr) {
        std::vector<LPOLESTR> list;
        for (const wchar_t* name : names)
            list.push_back(const_cast<LPOLESTR>(name));
        std::vector<DISPID> ids(list.size(), 12345);
        const HRESULT result = dispatch->GetIDsOfNames(
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
        out.hr = dispatch->Invoke(Id(member), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
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
    bool Processing() { return Get(L"IsProcessing").v.boolVal != VARIANT_FALSE; }

    // A property's value as its type shows it: a number, True or False, or 'text'.
    std::wstring Shown(const wchar_t* member) {
        const Value value = Get(member);
        switch (value.v.vt) {
        case VT_I4:
            return std::to_wstring(value.v.lVal);
        case VT_BOOL: // as scripts compare them: True is -1
            return value.v.boolVal == VARIANT_TRUE    ? L"True"
                   : value.v.boolVal == VARIANT_FALSE ? L"False"
                                                      : L"?";
        case VT_BSTR:
            return L"'" + std::wstring(value.v.bstrVal, SysStringLen(value.v.bstrVal)) + L"'";
        default:
            return L"?";
        }
    }
    void Assign(const wchar_t* member, const Value& in, const wchar_t* shown) {
        EXPECT_EQ(Put(member, in.v), S_OK) << member;
        EXPECT_EQ(Shown(member), shown) << member;
    }

    Win32Platform host;
    std::shared_ptr<AuAgent> agent = std::make_shared<AuAgent>(host.platform());
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
};

TEST_F(ComConversion, AssignedValuesAreConvertedToThePropertysType) {
    // Text becomes Long and Boolean.
    Assign(L"MajorVer", Value(L"5"), L"5");
    Assign(L"MinorVer", Value(L"12"), L"12");
    Assign(L"TestMode", Value(L"True"), L"True");
    Assign(L"TestMode", Value(L"false"), L"False");
    Assign(L"AutoConnect", Value(L"0"), L"False");
    Assign(L"AutoConnect", Value(L"-1"), L"True");
    // Doubles round to even; other values become text.
    Assign(L"Revision", Value(2.5), L"2");
    Assign(L"Revision", Value(3.5), L"4");
    Assign(L"Revision", Value(L"7.5"), L"8");
    Assign(L"LicKey", Value::Long(4711), L"'4711'");
    Assign(L"CampaignID", Value(true), L"'True'");
    Assign(L"TestMode", Value::Long(2), L"True");
    // Empty assigned is a value: zero, False, no text.
    Assign(L"Revision", Value(), L"0");
    Assign(L"TestMode", Value(), L"False");
    Assign(L"LicKey", Value(), L"''");
}

TEST_F(ComConversion, ValuesByReferenceAreReadThrough) {
    BSTR text = SysAllocString(L"9");
    VARIANT byRef;
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &text;
    EXPECT_EQ(Put(L"MajorVer", byRef), S_OK);
    EXPECT_EQ(Shown(L"MajorVer"), L"9");
    SysFreeString(text);

    // VB passes a Variant variable by reference as a reference to the VARIANT.
    Value inner(L"True");
    VARIANT variantRef;
    variantRef.vt = VT_VARIANT | VT_BYREF;
    variantRef.pvarVal = &inner.v;
    EXPECT_EQ(Put(L"TestMode", variantRef), S_OK);
    EXPECT_EQ(Shown(L"TestMode"), L"True");
}

TEST_F(ComConversion, WhatCannotBeConvertedFailsAndChangesNothing) {
    ASSERT_EQ(Put(L"MajorVer", Value::Long(3).v), S_OK);
    UINT at = 99;
    EXPECT_EQ(Put(L"MajorVer", Value(L"five").v, &at), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(Put(L"MajorVer", Value(L"99999999999").v), DISP_E_OVERFLOW);
    EXPECT_EQ(Put(L"TestMode", Value(L"maybe").v), DISP_E_TYPEMISMATCH);
    Value null;
    null.v.vt = VT_NULL;
    EXPECT_EQ(Put(L"MajorVer", null.v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Shown(L"MajorVer"), L"3");
    EXPECT_EQ(Shown(L"TestMode"), L"False");
}

TEST_F(ComConversion, MethodArgumentsAreConvertedAndMissingOnesTakeTheirDefaults) {
    // CheckMessages(bSilent, bAsync, bAuto), last first: bAsync "False" as text, bSilent
    // "True"; bAuto missing as VB passes it.
    Value missing;
    missing.v.vt = VT_ERROR;
    missing.v.scode = DISP_E_PARAMNOTFOUND;
    InvokeOutcome out;
    Invoke(out, L"CheckMessages", DISPATCH_METHOD,
           {missing.v, Value(L"False").v, Value(L"True").v});
    ASSERT_EQ(out.hr, S_OK);
    EXPECT_EQ(out.result.v.vt, VT_BOOL);
    // A synchronous check is over when the call returns.
    EXPECT_FALSE(Processing());

    InvokeOutcome wrong;
    Invoke(wrong, L"CheckMessages", DISPATCH_METHOD, {Value(L"no").v, Value(L"True").v});
    EXPECT_EQ(wrong.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrong.argumentError, 0u); // rgvarg[0]: the second argument, bAsync
}

TEST_F(ComConversion, ARecordHandsOutItsDatesAsDates) {
    agent->SetProductAttribute("last-checked-date", "2009-09-14 18:35:52");
    InvokeOutcome record;
    Invoke(record, L"GetProductInfo", DISPATCH_METHOD, {});
    ASSERT_EQ(record.result.v.vt, VT_DISPATCH);
    IDispatch* info = record.result.v.pdispVal;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"LastCheckedDate")};
    DISPID id = 0;
    ASSERT_HRESULT_SUCCEEDED(info->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS none{};
    Value date;
    ASSERT_HRESULT_SUCCEEDED(info->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                          &none, &date.v, nullptr, nullptr));
    EXPECT_EQ(date.v.vt, VT_DATE);
    EXPECT_NEAR(date.v.date, 40070.774907, 1e-6);
}

using ComNamedArguments = ComConversion;

// Names match without regard to case; an unknown name is marked on its own, and properties or
// unknown members have no arguments.
TEST_F(ComNamedArguments, ArgumentNamesAnswerTheirPositionsAndUnknownOnesAreMarked) {
    const DISPID check = Id(L"CheckMessages"), unknown = DISPID_UNKNOWN;
    const struct {
        std::vector<const wchar_t*> names;
        HRESULT hr;
        std::vector<DISPID> ids;
    } cases[] = {
        {{L"checkmessages", L"bAuto", L"BASYNC", L"bSilent"}, S_OK, {check, 2, 1, 0}},
        {{L"CheckInstallableUpdates", L"bSilent"}, S_OK, {Id(L"CheckInstallableUpdates"), 0}},
        {{L"CheckMessages", L"bQuiet", L"bAsync"}, DISP_E_UNKNOWNNAME, {check, unknown, 1}},
        {{L"MajorVer", L"bAsync"}, DISP_E_UNKNOWNNAME, {Id(L"MajorVer"), unknown}},
        {{L"CheckEverything", L"bAsync"}, DISP_E_UNKNOWNNAME, {unknown, unknown}},
    };
    for (const auto& c : cases) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(Ids(c.names, &hr), c.ids) << c.names.front();
        EXPECT_EQ(hr, c.hr) << c.names.front();
    }
}

// The check is synchronous only when bAsync arrives False in its place; left at its default
// (True), the check is still under way when the call returns.
TEST_F(ComNamedArguments, InvokePlacesNamedArgumentsInTheirPositions) {
    const Value yes(true), no(false), noText(L"False");
    const struct {
        const char* call;
        std::vector<VARIANT> args; // rgvarg: named ones first, then the positional ones last first
        std::vector<DISPID> named;
        bool open;
    } cases[] = {
        {"bAsync:=False, bSilent:=True", {no.v, yes.v}, {1, 0}, false},
        {"True, False", {no.v, yes.v}, {}, false},
        {"True, bAuto:=False, bAsync:=\"False\"", {no.v, noText.v, yes.v}, {2, 1}, false},
        {"bAuto:=False, bSilent:=True", {no.v, yes.v}, {2, 0}, true}, // the check stays open
    };
    for (const auto& c : cases) {
        InvokeOutcome out;
        Invoke(out, L"CheckMessages", DISPATCH_METHOD, c.args, c.named);
        ASSERT_EQ(out.hr, S_OK) << c.call;
        EXPECT_EQ(Processing(), c.open) << c.call;
    }
}

TEST_F(ComNamedArguments, APositionTheMemberDoesNotHaveIsRefusedWithTheArgumentAtFault) {
    InvokeOutcome beyond;
    Invoke(beyond, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(false).v}, {0, 3});
    EXPECT_EQ(beyond.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(beyond.argumentError, 1u);

    // bSilent both by position and by name.
    InvokeOutcome twice;
    Invoke(twice, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(true).v}, {0});
    EXPECT_EQ(twice.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(twice.argumentError, 0u);

    // A property's value is the named DISPID_PROPERTYPUT and nothing else.
    InvokeOutcome put;
    Invoke(put, L"MajorVer", DISPATCH_PROPERTYPUT, {Value::Long(5).v}, {0});
    EXPECT_EQ(put.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(put.argumentError, 0u);
    InvokeOutcome noValue;
    Invoke(noValue, L"MajorVer", DISPATCH_PROPERTYPUT, {});
    EXPECT_EQ(noValue.hr, DISP_E_BADPARAMCOUNT);

    // A named argument's failed conversion names its own index in rgvarg.
    InvokeOutcome mismatch;
    Invoke(mismatch, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(L"soon").v}, {0, 1});
    EXPECT_EQ(mismatch.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argumentError, 1u);
    EXPECT_FALSE(Processing());
}

} // namespace
} // namespace KDAutoUpdate
