// Values a host assigns or passes reach the agent converted as the automation runtime converts
// them: text read from an INI file or the registry becomes a number or a Boolean, doubles round
// to Long, by-reference values are read through; what cannot be converted is a type mismatch
// (or an overflow) naming the argument at fault, and leaves the property as it was.
#include "AgentDispatch.h"

namespace KDAutoUpdate {
namespace {

class ComConversion : public ::testing::Test {
protected:
    AgentDispatch agent;

    // A property's value as its type shows it: a number, True or False, or 'text'.
    std::wstring Shown(const wchar_t* member) {
        const Value value = agent.Get(member);
        switch (value.v.vt) {
        case VT_I4:
            return std::to_wstring(value.v.lVal);
        case VT_BOOL: // as scripts compare them: True is -1
            return value.v.boolVal == VARIANT_TRUE    ? L"True"
                   : value.v.boolVal == VARIANT_FALSE ? L"False"
                                                      : L"?";
        case VT_BSTR:
            return L"'" + value.Text() + L"'";
        default:
            return L"?";
        }
    }
    void Assign(const wchar_t* member, const Value& in, const wchar_t* shown) {
        EXPECT_EQ(agent.Put(member, in.v), S_OK) << member;
        EXPECT_EQ(Shown(member), shown) << member;
    }
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
    EXPECT_EQ(agent.Put(L"MajorVer", byRef), S_OK);
    EXPECT_EQ(Shown(L"MajorVer"), L"9");
    SysFreeString(text);

    // VB passes a Variant variable by reference as a reference to the VARIANT.
    Value inner(L"True");
    VARIANT variantRef;
    variantRef.vt = VT_VARIANT | VT_BYREF;
    variantRef.pvarVal = &inner.v;
    EXPECT_EQ(agent.Put(L"TestMode", variantRef), S_OK);
    EXPECT_EQ(Shown(L"TestMode"), L"True");
}

TEST_F(ComConversion, WhatCannotBeConvertedFailsAndChangesNothing) {
    ASSERT_EQ(agent.Put(L"MajorVer", Value::Long(3).v), S_OK);
    UINT at = 99;
    EXPECT_EQ(agent.Put(L"MajorVer", Value(L"five").v, &at), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(agent.Put(L"MajorVer", Value(L"99999999999").v), DISP_E_OVERFLOW);
    EXPECT_EQ(agent.Put(L"TestMode", Value(L"maybe").v), DISP_E_TYPEMISMATCH);
    Value null;
    null.v.vt = VT_NULL;
    EXPECT_EQ(agent.Put(L"MajorVer", null.v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Shown(L"MajorVer"), L"3");
    EXPECT_EQ(Shown(L"TestMode"), L"False");
}

TEST_F(ComConversion, MethodArgumentsAreConvertedAndMissingOnesTakeTheirDefaults) {
    agent.Agent().SetProductCode("{5E1B8A44-1D2C-4F00-9A11-0123456789AB}");
    agent.Agent().SetBaseURL("http://127.0.0.1:9/services"); // nothing answers there
    // CheckMessages(bSilent, bAsync, bAuto), last first: bAsync "False" as text, bSilent
    // "True"; bAuto missing as VB passes it.
    Value missing;
    missing.v.vt = VT_ERROR;
    missing.v.scode = DISP_E_PARAMNOTFOUND;
    InvokeOutcome out;
    agent.Invoke(out, L"CheckMessages", DISPATCH_METHOD,
                 {missing.v, Value(L"False").v, Value(L"True").v});
    ASSERT_EQ(out.hr, S_OK);
    EXPECT_EQ(out.result.v.vt, VT_BOOL);
    // A synchronous check is over when the call returns.
    EXPECT_EQ(Shown(L"IsProcessing"), L"False");

    InvokeOutcome wrong;
    agent.Invoke(wrong, L"CheckMessages", DISPATCH_METHOD, {Value(L"no").v, Value(L"True").v});
    EXPECT_EQ(wrong.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrong.argumentError, 0u); // rgvarg[0]: the second argument, bAsync
}

TEST_F(ComConversion, ARecordHandsOutItsDatesAsDates) {
    agent.Agent().SetProductCode("{5E1B8A44-1D2C-4F00-9A11-0123456789AB}");
    agent.Agent().SetProductAttribute("last-checked-date", "2009-09-14 18:35:52");
    InvokeOutcome record;
    agent.Invoke(record, L"GetProductInfo", DISPATCH_METHOD, {});
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

} // namespace
} // namespace KDAutoUpdate
