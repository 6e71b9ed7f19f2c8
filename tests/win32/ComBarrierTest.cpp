// No C++ exception reaches a COM caller: a member that throws fails its call with
// E_UNEXPECTED (in EXCEPINFO for IDispatch callers) and the thread's error object says what
// went wrong.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <new>
#include <stdexcept>

#include "StackCom.h"
#include "com/ComBarrier.h"
#include "com/ComObject.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

const ClassDescription& ThrowingClass() {
    static const ClassDescription type = [] {
        ClassDescription c;
        c.name = "Thrower";
        c.members.push_back({"Fail",
                             MemberKind::Method,
                             AuType::Void,
                             {},
                             nullptr,
                             [](void*, std::vector<Variant>&) -> Outcome<AutomationValue> {
                                 throw std::runtime_error("the member gave up");
                             }});
        c.members.push_back({"Exhaust",
                             MemberKind::Method,
                             AuType::Void,
                             {},
                             nullptr,
                             [](void*, std::vector<Variant>&) -> Outcome<AutomationValue> {
                                 throw std::bad_alloc();
                             }});
        return c;
    }();
    return type;
}

TEST(ComBarrier, AnExceptionInAMemberBecomesAnUnexpectedFailureWithItsDescription) {
    const ComPtr<ComObject> object = ComObject::Make(ThrowingClass(), nullptr, nullptr);
    const auto call = [&](const wchar_t* member, EXCEPINFO* exception) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR name = const_cast<LPOLESTR>(member);
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, exception, nullptr);
    };
    EXCEPINFO exception{};
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(call(L"Fail", &exception), DISP_E_EXCEPTION);
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
    EXPECT_EQ(call(L"Fail", nullptr), E_UNEXPECTED);
    EXPECT_EQ(call(L"Exhaust", nullptr), E_OUTOFMEMORY);
}

TEST(ComBarrier, ABodyThatReturnsIsPassedThrough) {
    EXPECT_EQ(ComBarrier::Run(IID_IUnknown, [] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(ComBarrier::Run(IID_IUnknown, []() -> HRESULT { throw 42; }), E_UNEXPECTED);
}

} // namespace
} // namespace KDAutoUpdate
