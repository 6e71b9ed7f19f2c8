// No C++ exception reaches a COM caller: a member that throws fails its call with
// E_UNEXPECTED (in EXCEPINFO for IDispatch callers) and the thread's error object says what
// went wrong. And the references com/ holds are released on every path: an event sink goes
// with Unadvise or with the agent's object, whichever comes first.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <new>
#include <stdexcept>

#include "AgentDispatch.h"
#include "StackCom.h"
#include "com/ComAgentEvents.h"
#include "com/ComBarrier.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Take(BSTR& text) {
    std::wstring value(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    text = nullptr;
    return value;
}

const ClassDescription& ThrowingClass() {
    static const ClassDescription type = [] {
        ClassDescription c;
        c.name = "Thrower";
        c.members.push_back({"Fail", MemberKind::Method, AuType::Void, {}, nullptr,
                             [](void*, std::vector<Variant>&) -> Outcome<AutomationValue> {
                                 throw std::runtime_error("the member gave up");
                             }});
        c.members.push_back({"Exhaust", MemberKind::Method, AuType::Void, {}, nullptr,
                             [](void*, std::vector<Variant>&) -> Outcome<AutomationValue> {
                                 throw std::bad_alloc();
                             }});
        return c;
    }();
    return type;
}

TEST(ComBarrier, AnExceptionInAMemberBecomesAnUnexpectedFailureWithItsDescription) {
    const ComPtr<ComObject> object = ComObject::Make(ThrowingClass(), nullptr, nullptr);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"Fail");
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO exception{};
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_UNEXPECTED);
    EXPECT_EQ(Take(exception.bstrSource), L"KDAutoUpdate");
    EXPECT_EQ(Take(exception.bstrDescription), L"Internal error: the member gave up");
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    BSTR text = nullptr;
    error->GetDescription(&text);
    EXPECT_EQ(Take(text), L"Internal error: the member gave up");
    GUID guid{};
    error->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(guid, IID_IDispatch));

    // Without an EXCEPINFO the failure is the HRESULT itself.
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              E_UNEXPECTED);
    name = const_cast<LPOLESTR>(L"Exhaust");
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              E_OUTOFMEMORY);
}

TEST(ComBarrier, ABodyThatReturnsIsPassedThrough) {
    EXPECT_EQ(ComBarrier::Run(IID_IUnknown, [] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(ComBarrier::Run(IID_IUnknown, []() -> HRESULT { throw 42; }), E_UNEXPECTED);
}

class CountingSink : public StackDispatch<> {
public:
    int calls = 0;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        ++calls;
        return S_OK;
    }
};

// The agent's object with its connection point, put together as the class factory does.
ComPtr<IConnectionPoint> AgentEvents(Win32Platform& host, ComPtr<ComObject>& object) {
    auto agent = std::make_shared<AuAgent>(host.platform());
    object = ComObject::Make(AuAgentClass(), agent, nullptr);
    auto sink = std::make_shared<ComAgentEvents>(static_cast<IDispatch&>(*object.Get()),
                                                     kAgentEventsIid);
    agent->SetEventSink(sink.get());
    object->SetExtension(
        std::shared_ptr<IUnknown>(sink, static_cast<IConnectionPointContainer*>(sink.get())));
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(object.As(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(kAgentEventsIid, &point), S_OK);
    return point;
}

TEST(ComEventSinks, ASinkIsReleasedByUnadviseOrWithTheAgentsObject) {
    Win32Platform host;
    CountingSink first, second;
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
