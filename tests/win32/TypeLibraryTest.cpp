// The type library hosts program against: the IDL stays the one the automation description
// writes, and the compiled library carries the described identifiers, slot order and events.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "automation/AutomationDescription.h"
#include "com/IdlWriter.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate {
namespace {

TEST(TypeLibrary, CommittedIdlIsTheOneTheDescriptionWrites) {
    std::stringstream committed;
    committed << std::ifstream(KDAU_SOURCE_DIR "/com/KDAutoUpdate.idl", std::ios::binary).rdbuf();
    const std::string written = WriteIdl();
    // A changed description: the new IDL is left here to be copied over com/KDAutoUpdate.idl.
    std::ofstream(KDAU_BINARY_DIR "/KDAutoUpdate.idl", std::ios::binary) << written;
    EXPECT_EQ(committed.str(), written);
}

class CompiledLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path =
            (std::filesystem::path(Win32Platform::ProgramFolder()) / "KDAutoUpdate.tlb").wstring();
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib));
    }
    void TearDown() override {
        if (lib)
            lib->Release();
    }
    // The type's name and flags, or empty when the library has no type of that id.
    std::pair<std::string, WORD> Type(const char* guid, ITypeInfo** keep = nullptr) {
        GUID id;
        std::wstring wide(guid, guid + strlen(guid));
        ITypeInfo* info = nullptr;
        if (FAILED(CLSIDFromString(wide.c_str(), &id)) || FAILED(lib->GetTypeInfoOfGuid(id, &info)))
            return {};
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        std::pair<std::string, WORD> result{std::string(name, name + SysStringLen(name)),
                                            attr->wTypeFlags};
        info->ReleaseTypeAttr(attr);
        SysFreeString(name);
        if (keep)
            *keep = info;
        else
            info->Release();
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
    ITypeLib* lib = nullptr;
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
    const auto id = [](std::string_view guid) { return std::string(guid); };
    for (const ClassDescription* c : PublishedClasses()) {
        const auto [coclass, flags] = Type(id(c->classId).c_str());
        EXPECT_EQ(coclass, c->name);
        EXPECT_EQ((flags & TYPEFLAG_FCANCREATE) != 0, c->creatable) << c->name;
        const auto [itf, itfFlags] = Type(id(c->interfaceId).c_str());
        EXPECT_EQ(itf, c->interfaceName);
        EXPECT_TRUE(itfFlags & TYPEFLAG_FDUAL) << itf;
        if (!c->eventInterfaceId.empty()) {
            EXPECT_EQ(Type(id(c->eventInterfaceId).c_str()).first, c->eventInterfaceName);
        }
    }
    for (const EnumDescription& e : PublishedEnumerations())
        EXPECT_EQ(Type(id(e.id).c_str()).first, e.name);
}

TEST_F(CompiledLibrary, AgentMembersFollowTheSlotOrderAndEventsPassSkipDialogByReference) {
    ITypeInfo* agent = nullptr;
    Type(std::string(AuAgentClass().interfaceId).c_str(), &agent);
    ASSERT_TRUE(agent);
    // The dual interface's vtable half: its own members after those of IDispatch.
    HREFTYPE vtable = 0;
    ITypeInfo* own = nullptr;
    agent->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
    agent->GetRefTypeInfo(vtable, &own);
    agent->Release();
    ASSERT_TRUE(own);
    const std::vector<std::string> slots = Slots(own);
    own->Release();
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

    ITypeInfo* events = nullptr;
    Type(std::string(AuAgentClass().eventInterfaceId).c_str(), &events);
    ASSERT_TRUE(events);
    EXPECT_EQ(Slots(events),
              (std::vector<std::string>{"NewMessages 1 4 byref", "ProcessCompleted 2 0"}));
    events->Release();
}

} // namespace
} // namespace KDAutoUpdate
