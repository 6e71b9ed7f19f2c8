// Arguments by name, as VB and VBA pass them late-bound (`agent.CheckMessages bAsync:=False`):
// GetIDsOfNames answers a method's argument names with their positions, and Invoke places named
// arguments there; a name or position the member does not have is refused with the argument at
// fault.
#include "AgentDispatch.h"

namespace KDAutoUpdate {
namespace {

class ComNamedArguments : public ::testing::Test {
protected:
    ComNamedArguments() {
        agent.Agent().SetProductCode("{5E1B8A44-1D2C-4F00-9A11-0123456789AB}");
        agent.Agent().SetBaseURL("http://127.0.0.1:9/services"); // nothing answers there
    }
    bool Processing() { return agent.Get(L"IsProcessing").v.boolVal != VARIANT_FALSE; }

    AgentDispatch agent;
};

// Names match without regard to case; an unknown name is marked on its own, and properties or
// unknown members have no arguments.
TEST_F(ComNamedArguments, ArgumentNamesAnswerTheirPositionsAndUnknownOnesAreMarked) {
    const DISPID check = agent.Id(L"CheckMessages"), unknown = DISPID_UNKNOWN;
    const struct {
        std::vector<const wchar_t*> names;
        HRESULT hr;
        std::vector<DISPID> ids;
    } cases[] = {
        {{L"checkmessages", L"bAuto", L"BASYNC", L"bSilent"}, S_OK, {check, 2, 1, 0}},
        {{L"CheckInstallableUpdates", L"bSilent"}, S_OK, {agent.Id(L"CheckInstallableUpdates"), 0}},
        {{L"CheckMessages", L"bQuiet", L"bAsync"}, DISP_E_UNKNOWNNAME, {check, unknown, 1}},
        {{L"MajorVer", L"bAsync"}, DISP_E_UNKNOWNNAME, {agent.Id(L"MajorVer"), unknown}},
        {{L"CheckEverything", L"bAsync"}, DISP_E_UNKNOWNNAME, {unknown, unknown}},
    };
    for (const auto& c : cases) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(agent.Ids(c.names, &hr), c.ids) << c.names.front();
        EXPECT_EQ(hr, c.hr) << c.names.front();
    }
}

// The check is synchronous only when bAsync arrives False in its place; left at its default
// (True), the check is still under way when the call returns.
TEST_F(ComNamedArguments, InvokePlacesNamedArgumentsInTheirPositions) {
    InvokeOutcome sync;
    agent.Invoke(sync, L"CheckMessages", DISPATCH_METHOD, {Value(false).v, Value(true).v},
                 {1, 0}); // bAsync:=False, bSilent:=True
    ASSERT_EQ(sync.hr, S_OK);
    EXPECT_FALSE(Processing());

    // By position only, which arrive last first: CheckMessages True, False (bSilent, bAsync).
    InvokeOutcome positional;
    agent.Invoke(positional, L"CheckMessages", DISPATCH_METHOD, {Value(false).v, Value(true).v},
                 {});
    ASSERT_EQ(positional.hr, S_OK);
    EXPECT_FALSE(Processing());

    // Positional and named together: CheckMessages True, bAuto:=False, bAsync:=False.
    InvokeOutcome mixed;
    agent.Invoke(mixed, L"CheckMessages", DISPATCH_METHOD,
                 {Value(false).v, Value(L"False").v, Value(true).v}, {2, 1});
    ASSERT_EQ(mixed.hr, S_OK);
    EXPECT_FALSE(Processing());

    // bAuto:=False alone: bAsync keeps its default and the check stays open.
    InvokeOutcome async;
    agent.Invoke(async, L"CheckMessages", DISPATCH_METHOD, {Value(false).v, Value(true).v}, {2, 0});
    ASSERT_EQ(async.hr, S_OK);
    EXPECT_TRUE(Processing());
}

TEST_F(ComNamedArguments, APositionTheMemberDoesNotHaveIsRefusedWithTheArgumentAtFault) {
    InvokeOutcome beyond;
    agent.Invoke(beyond, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(false).v},
                 {0, 3});
    EXPECT_EQ(beyond.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(beyond.argumentError, 1u);

    // bSilent both by position and by name.
    InvokeOutcome twice;
    agent.Invoke(twice, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(true).v}, {0});
    EXPECT_EQ(twice.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(twice.argumentError, 0u);

    // A property's value is the named DISPID_PROPERTYPUT and nothing else.
    InvokeOutcome put;
    agent.Invoke(put, L"MajorVer", DISPATCH_PROPERTYPUT, {Value::Long(5).v}, {0});
    EXPECT_EQ(put.hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(put.argumentError, 0u);
    InvokeOutcome noValue;
    agent.Invoke(noValue, L"MajorVer", DISPATCH_PROPERTYPUT, {});
    EXPECT_EQ(noValue.hr, DISP_E_BADPARAMCOUNT);

    // A named argument's failed conversion names its own index in rgvarg.
    InvokeOutcome mismatch;
    agent.Invoke(mismatch, L"CheckMessages", DISPATCH_METHOD, {Value(true).v, Value(L"soon").v},
                 {0, 1});
    EXPECT_EQ(mismatch.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argumentError, 1u);
    EXPECT_FALSE(Processing());
}

} // namespace
} // namespace KDAutoUpdate
