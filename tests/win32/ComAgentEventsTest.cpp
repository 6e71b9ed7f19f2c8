// A COM host's event sink receives each of the agent's events as the type library declares
// __AuAgent: the declared dispatch id, the arguments in the declared order and types, last
// first as IDispatch passes them, and a byRef argument the sink changes is what the agent reads
// back. The sink's reference goes with Unadvise or with the agent's object, whichever is first.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <filesystem>
#include <string>
#include <vector>

#include "StackCom.h"
#include "agent/AuAgent.h"
#include "com/ComAgentEvents.h"
#include "com/ComObject.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

// An argument as a script would show it: Long plain, String quoted, Boolean True or False;
// "&" before one passed by reference.
std::wstring Shown(VARIANT& v) {
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, &v, VARIANT_ALPHABOOL, VT_BSTR)))
        return L"?";
    const std::wstring value = Take(text.bstrVal);
    const auto type = static_cast<VARTYPE>(v.vt & ~VT_BYREF);
    return ((v.vt & VT_BYREF) ? L"&" : L"") + (type == VT_BSTR ? L"'" + value + L"'"
                                               : type == VT_I4 || type == VT_BOOL ? value
                                                                                  : L"?");
}

// A host's sink that knows the events only from the type library: records each call as the
// declared name of its id and each argument under the declared name of its position, and
// answers every byRef Boolean True.
class RecordingSink : public StackDispatch<> {
public:
    explicit RecordingSink(ComPtr<ITypeInfo> events) : m_events(std::move(events)) {}
    std::vector<std::wstring> calls;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        BSTR names[8] = {};
        UINT count = 0;
        m_events->GetNames(id, names, 8, &count);
        std::vector<std::wstring> declared;
        for (UINT n = 0; n < count; ++n)
            declared.push_back(Take(names[n]));
        if (declared.empty() || params->cArgs + 1 != count)
            return DISP_E_BADPARAMCOUNT;
        std::wstring call = declared[0];
        for (UINT n = 1; n < count; ++n) {
            VARIANT& a = params->rgvarg[params->cArgs - n];
            call += L" " + declared[n] + L"=" + Shown(a);
            if (a.vt == (VT_BOOL | VT_BYREF))
                *a.pboolVal = VARIANT_TRUE;
        }
        calls.push_back(call);
        return S_OK;
    }

private:
    ComPtr<ITypeInfo> m_events;
};

class AgentEventSinks : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path =
            (std::filesystem::path(Win32Platform::ProgramFolder()) / "KDAutoUpdate.tlb").wstring();
        ComPtr<ITypeLib> lib;
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.GetAddressOf()));
        ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(kAgentEventsIid, events.GetAddressOf()));
    }
    ComPtr<ITypeInfo> events;
};

TEST_F(AgentEventSinks, ASinkReceivesTheDeclaredArgumentsAndItsByRefAnswerReachesTheAgent) {
    StackObject<IUnknown> owner;
    ComAgentEvents point(owner, kAgentEventsIid);
    RecordingSink sink(events);
    DWORD cookie = 0;
    ASSERT_EQ(point.Advise(&sink, &cookie), S_OK);

    IAuAgentEvents& agentSide = point;
    bool skip = false;
    agentSide.NewMessages(3, "2026-12-07 01:02:03", "<messages/>", skip);
    agentSide.ProcessCompleted();
    EXPECT_EQ(sink.calls, (std::vector<std::wstring>{
                              L"NewMessages lMessageCount=3 sMessageStamp='2026-12-07 01:02:03' "
                              L"sResponseXML='<messages/>' bSkipDialog=&False",
                              L"ProcessCompleted"}));
    EXPECT_TRUE(skip) << "the sink's True did not reach the agent";

    // Without a sink the agent's value stays as it was.
    ASSERT_EQ(point.Unadvise(cookie), S_OK);
    skip = false;
    agentSide.NewMessages(1, "s", "<x/>", skip);
    EXPECT_FALSE(skip);
    EXPECT_EQ(sink.calls.size(), 2u);
}

// The agent's object with its connection point, put together as the class factory does.
ComPtr<IConnectionPoint> AgentEvents(Win32Platform& host, ComPtr<ComObject>& object) {
    auto agent = std::make_shared<AuAgent>(host.platform());
    object = ComObject::Make(AuAgentClass(), agent, nullptr);
    auto sink =
        std::make_shared<ComAgentEvents>(static_cast<IDispatch&>(*object.Get()), kAgentEventsIid);
    agent->SetEventSink(sink.get());
    object->SetExtension(
        std::shared_ptr<IUnknown>(sink, static_cast<IConnectionPointContainer*>(sink.get())));
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(object.As(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(kAgentEventsIid, &point), S_OK);
    return point;
}

TEST_F(AgentEventSinks, ASinkIsReleasedByUnadviseOrWithTheAgentsObject) {
    Win32Platform host;
    RecordingSink first(events), second(events);
    {
        ComPtr<ComObject> object;
        ComPtr<IConnectionPoint> point = AgentEvents(host, object);
        ASSERT_TRUE(point);
        DWORD cookie1 = 0, cookie2 = 0;
        ASSERT_EQ(point->Advise(&first, &cookie1), S_OK);
        ASSERT_EQ(point->Advise(&second, &cookie2), S_OK);
        EXPECT_NE(cookie1, cookie2);
        EXPECT_EQ(first.refs, 2u);
        EXPECT_EQ(point->Unadvise(cookie1), S_OK);
        EXPECT_EQ(first.refs, 1u);
        EXPECT_EQ(point->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
        EXPECT_EQ(point->Advise(nullptr, &cookie1), E_POINTER);
        EXPECT_EQ(second.refs, 2u);
        const long live = ComObject::LiveObjects();
        point.Reset();
        object.Reset();
        EXPECT_EQ(ComObject::LiveObjects(), live - 1);
    }
    EXPECT_EQ(first.refs, 1u);
    EXPECT_EQ(second.refs, 1u);
}

} // namespace
} // namespace KDAutoUpdate
