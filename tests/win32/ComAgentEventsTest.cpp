// A COM host's event sink receives each of the agent's events as the type library declares
// __AuAgent: the declared dispatch id, the arguments in the declared order and types, last
// first as IDispatch passes them, and a byRef argument the sink changes is what the agent reads
// back.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "StackCom.h"
#include "com/ComAgentEvents.h"
#include "platform/win32/AdoptComPtr.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

// What a sink saw of one call: the dispatch id and each argument by the name the type library
// gives its position.
struct Received {
    DISPID id = DISPID_UNKNOWN;
    std::map<std::wstring, VARTYPE> types;
    std::map<std::wstring, std::wstring> values;
};

// One event method of the compiled __AuAgent: its id and parameter names in order.
struct Declared {
    DISPID id = DISPID_UNKNOWN;
    std::vector<std::wstring> parameters;
    std::vector<VARTYPE> types;
};

std::map<std::wstring, Declared> DeclaredEvents() {
    std::map<std::wstring, Declared> events;
    const std::wstring path =
        (std::filesystem::path(Win32Platform::ProgramFolder()) / "KDAutoUpdate.tlb").wstring();
    ITypeLib* raw = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &raw)))
        return events;
    const ComPtr<ITypeLib> lib = AdoptComPtr(raw);
    ITypeInfo* rawInfo = nullptr;
    if (FAILED(lib->GetTypeInfoOfGuid(kAgentEventsIid, &rawInfo)))
        return events;
    const ComPtr<ITypeInfo> info = AdoptComPtr(rawInfo);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* func = nullptr;
        info->GetFuncDesc(f, &func);
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        Declared d;
        d.id = func->memid;
        for (UINT n = 1; n < count; ++n)
            d.parameters.emplace_back(names[n], SysStringLen(names[n]));
        for (SHORT p = 0; p < func->cParams; ++p) {
            const TYPEDESC& t = func->lprgelemdescParam[p].tdesc;
            d.types.push_back(t.vt == VT_PTR ? static_cast<VARTYPE>(t.lptdesc->vt | VT_BYREF)
                                             : t.vt);
        }
        events[std::wstring(names[0], SysStringLen(names[0]))] = d;
        for (UINT n = 0; n < count; ++n)
            SysFreeString(names[n]);
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return events;
}

std::wstring Text(const VARIANT& v) {
    const bool byRef = (v.vt & VT_BYREF) != 0;
    switch (v.vt & ~VT_BYREF) {
    case VT_I4:
        return std::to_wstring(byRef ? *v.plVal : v.lVal);
    case VT_BSTR: {
        const BSTR text = byRef ? *v.pbstrVal : v.bstrVal;
        return std::wstring(text, SysStringLen(text));
    }
    case VT_BOOL:
        return (byRef ? *v.pboolVal : v.boolVal) ? L"True" : L"False";
    default:
        return L"?";
    }
}

// A host's sink: records each call by the declared names and sets every byRef Boolean True.
class RecordingSink : public StackDispatch<> {
public:
    explicit RecordingSink(std::map<std::wstring, Declared> declared)
        : m_declared(std::move(declared)) {}
    std::vector<Received> calls;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        Received r;
        r.id = id;
        for (const auto& [name, declared] : m_declared) {
            if (declared.id != id)
                continue;
            if (params->cArgs != declared.parameters.size())
                return DISP_E_BADPARAMCOUNT;
            for (UINT i = 0; i < params->cArgs; ++i) {
                VARIANT& a = params->rgvarg[params->cArgs - 1 - i];
                r.types[declared.parameters[i]] = a.vt;
                r.values[declared.parameters[i]] = Text(a);
                if (a.vt == (VT_BOOL | VT_BYREF))
                    *a.pboolVal = VARIANT_TRUE;
            }
        }
        calls.push_back(r);
        return S_OK;
    }

private:
    std::map<std::wstring, Declared> m_declared;
};

TEST(ComAgentEvents, ASinkReceivesTheDeclaredArgumentsAndItsByRefAnswerReachesTheAgent) {
    const std::map<std::wstring, Declared> declared = DeclaredEvents();
    ASSERT_EQ(declared.count(L"NewMessages"), 1u);
    ASSERT_EQ(declared.count(L"ProcessCompleted"), 1u);
    StackObject<IUnknown> owner;
    ComAgentEvents point(owner, kAgentEventsIid);
    RecordingSink sink(declared);
    DWORD cookie = 0;
    ASSERT_EQ(point.Advise(&sink, &cookie), S_OK);

    IAuAgentEvents& agentSide = point;
    bool skip = false;
    agentSide.NewMessages(3, "2026-12-07 01:02:03", "<messages/>", skip);
    agentSide.ProcessCompleted();

    ASSERT_EQ(sink.calls.size(), 2u);
    const Received& first = sink.calls[0];
    EXPECT_EQ(first.id, declared.at(L"NewMessages").id);
    EXPECT_EQ(first.values.at(L"lMessageCount"), L"3");
    EXPECT_EQ(first.values.at(L"sMessageStamp"), L"2026-12-07 01:02:03");
    EXPECT_EQ(first.values.at(L"sResponseXML"), L"<messages/>");
    EXPECT_EQ(first.values.at(L"bSkipDialog"), L"False"); // what the agent passed in
    const Declared& d = declared.at(L"NewMessages");
    for (std::size_t i = 0; i < d.parameters.size(); ++i)
        EXPECT_EQ(first.types.at(d.parameters[i]), d.types[i]) << d.parameters[i].c_str();
    EXPECT_TRUE(skip) << "the sink's True did not reach the agent";
    EXPECT_EQ(sink.calls[1].id, declared.at(L"ProcessCompleted").id);
    EXPECT_TRUE(sink.calls[1].values.empty());

    // Without a sink the agent's value stays as it was.
    ASSERT_EQ(point.Unadvise(cookie), S_OK);
    skip = false;
    agentSide.NewMessages(1, "s", "<x/>", skip);
    EXPECT_FALSE(skip);
    EXPECT_EQ(sink.calls.size(), 2u);
}

} // namespace
} // namespace KDAutoUpdate
