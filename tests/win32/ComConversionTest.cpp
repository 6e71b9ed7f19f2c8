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

    LONG LongOf(const wchar_t* member) {
        const Value value = agent.Get(member);
        EXPECT_EQ(value.v.vt, VT_I4);
        return value.v.lVal;
    }
    bool BoolOf(const wchar_t* member) {
        const Value value = agent.Get(member);
        EXPECT_EQ(value.v.vt, VT_BOOL);
        return value.v.boolVal != VARIANT_FALSE;
    }
};

TEST_F(ComConversion, TextBecomesLongAndBoolean) {
    EXPECT_EQ(agent.Put(L"MajorVer", Value(L"5").v), S_OK);
    EXPECT_EQ(LongOf(L"MajorVer"), 5);
    EXPECT_EQ(agent.Put(L"MinorVer", Value(L"12").v), S_OK);
    EXPECT_EQ(LongOf(L"MinorVer"), 12);

    EXPECT_EQ(agent.Put(L"TestMode", Value(L"True").v), S_OK);
    EXPECT_TRUE(BoolOf(L"TestMode"));
    EXPECT_EQ(agent.Put(L"TestMode", Value(L"false").v), S_OK);
    EXPECT_FALSE(BoolOf(L"TestMode"));
    EXPECT_EQ(agent.Put(L"AutoConnect", Value(L"0").v), S_OK);
    EXPECT_FALSE(BoolOf(L"AutoConnect"));
    EXPECT_EQ(agent.Put(L"AutoConnect", Value(L"-1").v), S_OK);
    EXPECT_TRUE(BoolOf(L"AutoConnect"));
}

TEST_F(ComConversion, DoublesRoundToEvenAndOtherValuesBecomeText) {
    EXPECT_EQ(agent.Put(L"Revision", Value(2.5).v), S_OK);
    EXPECT_EQ(LongOf(L"Revision"), 2);
    EXPECT_EQ(agent.Put(L"Revision", Value(3.5).v), S_OK);
    EXPECT_EQ(LongOf(L"Revision"), 4);
    EXPECT_EQ(agent.Put(L"Revision", Value(L"7.5").v), S_OK);
    EXPECT_EQ(LongOf(L"Revision"), 8);

    EXPECT_EQ(agent.Put(L"LicKey", Value::Long(4711).v), S_OK);
    EXPECT_EQ(agent.Get(L"LicKey").Text(), L"4711");
    EXPECT_EQ(agent.Put(L"CampaignID", Value(true).v), S_OK);
    EXPECT_EQ(agent.Get(L"CampaignID").Text(), L"True");
    EXPECT_EQ(agent.Put(L"TestMode", Value::Long(2).v), S_OK);
    EXPECT_TRUE(BoolOf(L"TestMode"));

    // Empty assigned is a value: zero, False, no text.
    EXPECT_EQ(agent.Put(L"Revision", Value().v), S_OK);
    EXPECT_EQ(LongOf(L"Revision"), 0);
    EXPECT_EQ(agent.Put(L"TestMode", Value().v), S_OK);
    EXPECT_FALSE(BoolOf(L"TestMode"));
    EXPECT_EQ(agent.Put(L"LicKey", Value().v), S_OK);
    EXPECT_EQ(agent.Get(L"LicKey").Text(), L"");
}

TEST_F(ComConversion, ValuesByReferenceAreReadThrough) {
    BSTR text = SysAllocString(L"9");
    VARIANT byRef;
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &text;
    EXPECT_EQ(agent.Put(L"MajorVer", byRef), S_OK);
    EXPECT_EQ(LongOf(L"MajorVer"), 9);
    SysFreeString(text);

    // VB passes a Variant variable by reference as a reference to the VARIANT.
    Value inner(L"True");
    VARIANT variantRef;
    variantRef.vt = VT_VARIANT | VT_BYREF;
    variantRef.pvarVal = &inner.v;
    EXPECT_EQ(agent.Put(L"TestMode", variantRef), S_OK);
    EXPECT_TRUE(BoolOf(L"TestMode"));
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
    EXPECT_EQ(LongOf(L"MajorVer"), 3);
    EXPECT_FALSE(BoolOf(L"TestMode"));
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
    EXPECT_FALSE(BoolOf(L"IsProcessing"));

    InvokeOutcome wrong;
    agent.Invoke(wrong, L"CheckMessages", DISPATCH_METHOD, {Value(L"no").v, Value(L"True").v});
    EXPECT_EQ(wrong.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrong.argumentError, 0u); // rgvarg[0]: the second argument, bAsync
}

} // namespace
} // namespace KDAutoUpdate
