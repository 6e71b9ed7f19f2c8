// The type library hosts program against: the IDL and the dual interfaces' vtables stay the
// ones the automation description writes, the compiled library carries the described
// identifiers, slot order and events, and vtable calls reach the agent's members, their
// optional arguments and records, and the error object on failure.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "KDAutoUpdate_h.h"
#include "StackCom.h"
#include "agent/AuAgent.h"
#include "automation/AutomationDescription.h"
#include "com/ComDualWriter.h"
#include "com/ComObject.h"
#include "com/IdlWriter.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

using Microsoft::WRL::ComPtr;

// What the description writes: the IDL and the dual interfaces' source. A changed description
// leaves the new file in the build folder, to be copied over the committed one.
TEST(TypeLibrary, CommittedSourcesAreTheOnesTheDescriptionWrites) {
    const struct {
        const char* file;
        std::string written;
    } cases[] = {{"KDAutoUpdate.idl", WriteIdl()},
                 {"ComDualInterfaces.cpp", WriteDualInterfaces()}};
    for (const auto& c : cases) {
        std::stringstream committed;
        committed << std::ifstream(std::string(KDAU_SOURCE_DIR "/com/") + c.file, std::ios::binary)
                         .rdbuf();
        std::ofstream(std::string(KDAU_BINARY_DIR "/") + c.file, std::ios::binary) << c.written;
        EXPECT_EQ(committed.str(), c.written) << c.file;
    }
}

class CompiledLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path =
            (std::filesystem::path(Win32Platform::ProgramFolder()) / "KDAutoUpdate.tlb").wstring();
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.GetAddressOf()));
    }
    // The library's type of that id; null when there is none.
    ComPtr<ITypeInfo> Info(std::string_view guid) {
        const std::wstring wide(guid.begin(), guid.end());
        GUID id;
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(CLSIDFromString(wide.c_str(), &id)))
            lib->GetTypeInfoOfGuid(id, info.GetAddressOf());
        return info;
    }
    // The type's name and flags, or empty when the library has no type of that id.
    std::pair<std::string, WORD> Type(std::string_view guid) {
        const ComPtr<ITypeInfo> info = Info(guid);
        if (!info)
            return {};
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        std::pair<std::string, WORD> result{std::string(name, name + SysStringLen(name)),
                                            attr->wTypeFlags};
        info->ReleaseTypeAttr(attr);
        SysFreeString(name);
        return result;
    }
    // Members in slot order: name, dispatch id, and "get"/"put" for property accessors.
    static std::vector<std::string> Slots(ITypeInfo* info) {
        std::vector<std::string> slots;
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* f = nullptr;
            info->GetFuncDesc(i, &f);
            BSTR name = nullptr;
            UINT count = 0;
            info->GetNames(f->memid, &name, 1, &count);
            std::string slot(name, name + SysStringLen(name));
            slot += f->invkind == INVOKE_PROPERTYGET   ? " get"
                    : f->invkind == INVOKE_PROPERTYPUT ? " put"
                                                       : "";
            int params = 0;
            bool byRef = false; // arguments passed back, the result aside
            for (SHORT p = 0; p < f->cParams; ++p) {
                const USHORT flags = f->lprgelemdescParam[p].paramdesc.wParamFlags;
                params += (flags & PARAMFLAG_FRETVAL) ? 0 : 1;
                byRef = byRef || ((flags & PARAMFLAG_FOUT) && !(flags & PARAMFLAG_FRETVAL));
            }
            slots.push_back(slot + " " + std::to_string(f->memid) + " " + std::to_string(params) +
                            (byRef ? " byref" : ""));
            SysFreeString(name);
            info->ReleaseFuncDesc(f);
        }
        info->ReleaseTypeAttr(attr);
        return slots;
    }
    ComPtr<ITypeLib> lib;
};

TEST_F(CompiledLibrary, EveryDescribedTypeIsFoundByItsIdentifier) {
    TLIBATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(lib->GetLibAttr(&attr));
    EXPECT_EQ(attr->wMajorVerNum * 10 + attr->wMinorVerNum, 12);
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(name, name + SysStringLen(name)), kTypeLibraryName);
    SysFreeString(name);
    for (const ClassDescription* c : PublishedClasses()) {
        const auto [coclass, flags] = Type(c->classId);
        EXPECT_EQ(coclass, c->name);
        EXPECT_EQ((flags & TYPEFLAG_FCANCREATE) != 0, c->creatable) << c->name;
        const auto [itf, itfFlags] = Type(c->interfaceId);
        EXPECT_EQ(itf, c->interfaceName);
        EXPECT_TRUE(itfFlags & TYPEFLAG_FDUAL) << itf;
        if (!c->eventInterfaceId.empty()) {
            EXPECT_EQ(Type(c->eventInterfaceId).first, c->eventInterfaceName);
        }
    }
    for (const EnumDescription& e : PublishedEnumerations())
        EXPECT_EQ(Type(e.id).first, e.name);
}

TEST_F(CompiledLibrary, AgentMembersFollowTheSlotOrderAndEventsPassSkipDialogByReference) {
    const ComPtr<ITypeInfo> agent = Info(AuAgentClass().interfaceId);
    ASSERT_TRUE(agent);
    // The dual interface's vtable half: its own members after those of IDispatch.
    HREFTYPE vtable = 0;
    ComPtr<ITypeInfo> own;
    agent->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
    agent->GetRefTypeInfo(vtable, own.GetAddressOf());
    ASSERT_TRUE(own);
    const std::vector<std::string> slots = Slots(own.Get());
    const std::vector<std::string> expected = {
        "IsProcessing get 1 0",     "BaseURL get 2 0",         "BaseURL put 2 1",
        "ProductCode get 3 0",      "ProductCode put 3 1",     "MajorVer get 4 0",
        "MajorVer put 4 1",         "MinorVer get 5 0",        "MinorVer put 5 1",
        "Revision get 6 0",         "Revision put 6 1",        "CampaignID get 7 0",
        "CampaignID put 7 1",       "LicKey get 8 0",          "LicKey put 8 1",
        "ProductLCID get 9 0",      "ProductLCID put 9 1",     "TestMode get 10 0",
        "TestMode put 10 1",        "UILanguageLCID get 11 0", "UILanguageLCID put 11 1",
        "IsConnected get 12 0",     "AutoConnect get 13 0",    "AutoConnect put 13 1",
        "CheckMessages 14 3 byref", "DisplayMessages 15 0",    "CheckInstallableUpdates 16 1 byref",
        "GetProductInfo 17 0",      "hwndOwner get 18 0",      "hwndOwner put 18 1",
        "CompatMode get 19 0",      "CompatMode put 19 1",     "GetLastInstallableUpdate 20 0"};
    EXPECT_EQ(slots, expected);

    const ComPtr<ITypeInfo> events = Info(AuAgentClass().eventInterfaceId);
    ASSERT_TRUE(events);
    EXPECT_EQ(Slots(events.Get()),
              (std::vector<std::string>{"NewMessages 1 4 byref", "ProcessCompleted 2 0"}));
}

TEST(DualInterfaces, VtableCallsReachTheAgentAndFailuresSetTheErrorObject) {
    Win32Platform host;
    auto* object =
        new ComObject(AuAgentClass(), std::make_shared<AuAgent>(host.platform()), nullptr);
    _AuAgent* agent = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        object->QueryInterface(__uuidof(_AuAgent), reinterpret_cast<void**>(&agent)));
    object->Release();
    LONG lcid = 0;
    EXPECT_HRESULT_SUCCEEDED(agent->get_UILanguageLCID(&lcid));
    EXPECT_EQ(lcid, 1031);
    BSTR text = SysAllocString(L"1234");
    EXPECT_HRESULT_SUCCEEDED(agent->put_ProductCode(text));
    SysFreeString(text);
    EXPECT_HRESULT_SUCCEEDED(agent->get_ProductCode(&text));
    EXPECT_EQ(Take(text), L"{1234}");
    _AuProductInfo* info = nullptr;
    ASSERT_HRESULT_SUCCEEDED(agent->GetProductInfo(&info));
    ASSERT_TRUE(info);
    EXPECT_HRESULT_SUCCEEDED(info->get_ProductCode(&text));
    EXPECT_EQ(Take(text), L"{1234}");
    info->Release();

    // An asynchronous check (bAuto missing) stays open until the message loop runs: the next
    // call is refused as busy.
    text = SysAllocString(L"http://127.0.0.1:9/services");
    agent->put_BaseURL(text);
    SysFreeString(text);
    VARIANT_BOOL silent = VARIANT_TRUE, async = VARIANT_TRUE, result = VARIANT_TRUE;
    EXPECT_HRESULT_SUCCEEDED(agent->CheckMessages(&silent, &async, nullptr, &result));
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(agent->CheckMessages(&silent, &async, nullptr, &result),
              static_cast<HRESULT>(0x80040000L));
    IErrorInfo* error = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    error->GetSource(&text);
    EXPECT_EQ(Take(text), L"AuAgent.CheckMessages");
    error->GetDescription(&text);
    EXPECT_EQ(Take(text), L"Another 'AutoUpdate' already in progress. Process aborted.");
    error->Release();
    agent->Release();
}

} // namespace
} // namespace KDAutoUpdate
