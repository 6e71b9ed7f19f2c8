#include "com/ComServer.h"

#include <windows.h>

#include <functional>
#include <memory>

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "agent/AuAgent.h"
#include "com/BrowserEmulation.h"
#include "com/ComAgentEvents.h"
#include "com/ComBarrier.h"
#include "com/ComObject.h"
#include "platform/HiResTimer.h"
#include "platform/win32/AdoptComPtr.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32EventLoop.h"
#include "platform/win32/Win32Platform.h"

namespace KDAutoUpdate::ComServer {

namespace {

constexpr wchar_t kProgId[] = L"KDAutoUpdate.AuAgent";

// How long the server stays once its last object and lock are gone. A host that creates
// agents one after another (a script run at every start, say) then finds it running instead of
// waiting for a new process each time; a server nobody connects to ends after it too.
constexpr long kIdleGraceMs = 5000;
constexpr char kIdleTimer[] = "idle";

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(path, length);
}

std::wstring AgentClassId() {
    return Widen(std::string(AuAgentClass().classId));
}

bool SetValue(HKEY root, const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(root, (L"Software\\Classes\\" + key).c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

// Runs `work` with HKEY_CLASSES_ROOT of this process mapped onto the user's classes, so the
// system's type library registration writes and removes the user's keys. (Some systems'
// RegisterTypeLibForUser registers for the machine instead.)
template <class Work> HRESULT ForUser(bool perUser, Work work) {
    HKEY classes = nullptr;
    if (perUser && (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &classes, nullptr) != ERROR_SUCCESS ||
                    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes) != ERROR_SUCCESS)) {
        if (classes)
            RegCloseKey(classes);
        return E_FAIL;
    }
    const HRESULT hr = work();
    if (perUser) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(classes);
    }
    return hr;
}

ITypeLib* LoadOwnTypeLibrary() {
    ITypeLib* library = nullptr;
    LoadTypeLibEx(ProgramPath().c_str(), REGKIND_NONE, &library);
    return library;
}

class AgentFactory : public IClassFactory {
public:
    AgentFactory(Platform& platform, ITypeLib* library)
        : m_platform(platform), m_library(library) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the serving run; COM's references do not end it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return ComBarrier::Run(IID_IClassFactory, [&] { return Create(outer, riid, object); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        return ComBarrier::Run(IID_IClassFactory, [&] {
            if (lock) {
                ++m_locks;
            } else if (m_locks > 0 && --m_locks == 0 && m_unlocked) {
                m_unlocked();
            }
            return S_OK;
        });
    }
    long Locks() const { return m_locks; }
    void SetUnlocked(std::function<void()> handler) { m_unlocked = std::move(handler); }

private:
    HRESULT Create(IUnknown* outer, REFIID riid, void** object) {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto agent = std::make_shared<AuAgent>(m_platform);
        const Microsoft::WRL::ComPtr<ComObject> com =
            ComObject::Make(AuAgentClass(), agent, m_library.Get());
        IID events;
        const std::wstring eventsId = Widen(std::string(AuAgentClass().eventInterfaceId));
        if (SUCCEEDED(IIDFromString(eventsId.c_str(), &events))) {
            auto sink = std::make_shared<ComAgentEvents>(static_cast<IDispatch&>(*com.Get()),
                                                         events);
            agent->SetEventSink(sink.get());
            com->SetExtension(std::shared_ptr<IUnknown>(
                sink, static_cast<IConnectionPointContainer*>(sink.get())));
        }
        return com->QueryInterface(riid, object);
    }

    Platform& m_platform;
    Microsoft::WRL::ComPtr<ITypeLib> m_library;
    long m_locks = 0;
    std::function<void()> m_unlocked;
};

} // namespace

bool Register(bool perUser) {
    const HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring clsid = AgentClassId();
    const std::wstring server = L"\"" + ProgramPath() + L"\"";
    bool ok = SetValue(root, kProgId, L"AuAgent") &&
              SetValue(root, std::wstring(kProgId) + L"\\CLSID", clsid);
    ok = SetValue(root, L"CLSID\\" + clsid, L"AuAgent") && ok;
    ok = SetValue(root, L"CLSID\\" + clsid + L"\\LocalServer32", server) && ok;
    ok = SetValue(root, L"CLSID\\" + clsid + L"\\ProgID", kProgId) && ok;
    ok =
        SetValue(root, L"CLSID\\" + clsid + L"\\TypeLib", Widen(std::string(kTypeLibraryId))) && ok;
    const Microsoft::WRL::ComPtr<ITypeLib> library = AdoptComPtr(LoadOwnTypeLibrary());
    std::wstring path = ProgramPath();
    const HRESULT registered =
        library ? ForUser(perUser,
                          [&] { return RegisterTypeLib(library.Get(), path.data(), nullptr); })
                : E_FAIL;
    ok = SUCCEEDED(registered) && ok;
    return BrowserEmulation::Register(perUser) && ok;
}

bool Unregister(bool perUser) {
    const HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring clsid = AgentClassId();
    RegDeleteTreeW(root, (L"Software\\Classes\\" + std::wstring(kProgId)).c_str());
    RegDeleteTreeW(root, (L"Software\\Classes\\CLSID\\" + clsid).c_str());
    GUID lib;
    const std::wstring libId = Widen(std::string(kTypeLibraryId));
    if (SUCCEEDED(CLSIDFromString(libId.c_str(), &lib)))
        ForUser(perUser, [&] { return UnRegisterTypeLib(lib, 1, 2, 0, SYS_WIN64); });
    BrowserEmulation::Unregister(perUser);
    return true;
}

int Serve() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int code = 1;
    {
        Win32Platform host;
        const Microsoft::WRL::ComPtr<ITypeLib> library = AdoptComPtr(LoadOwnTypeLibrary());
        AgentFactory factory(host.platform(), library.Get());
        CLSID clsid;
        DWORD cookie = 0;
        bool offered = false;
        const auto idle = [&] { return ComObject::LiveObjects() == 0 && factory.Locks() == 0; };
        std::unique_ptr<KDHiResTimer> grace = host.loop().CreateTimer();
        grace->AddTimer(kIdleTimer, kIdleGraceMs, 0);
        grace->SetTimerHandler([&](const std::string&) {
            grace->EnableTimer(kIdleTimer, false);
            if (!offered || !idle())
                return;
            // Withdrawn first, so that no new client is handed the class while this ends.
            CoRevokeClassObject(cookie);
            offered = false;
            PostQuitMessage(0);
        });
        const auto lastGone = [&] {
            if (!idle())
                return;
            if (!offered) {
                PostQuitMessage(0);
                return;
            }
            grace->EnableTimer(kIdleTimer, false); // restarts the full grace
            grace->EnableTimer(kIdleTimer, true);
        };
        ComObject::SetLastObjectGone(lastGone);
        factory.SetUnlocked(lastGone);
        if (SUCCEEDED(CLSIDFromString(AgentClassId().c_str(), &clsid)) &&
            SUCCEEDED(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie))) {
            offered = true;
            grace->EnableTimer(kIdleTimer, true);
            // A call already on its way when the class was withdrawn may still have made an
            // object: it is served until released.
            do {
                code = Win32EventLoop::RunMessageLoop();
            } while (!idle());
            if (offered)
                CoRevokeClassObject(cookie);
        }
        ComObject::SetLastObjectGone(nullptr);
        factory.SetUnlocked(nullptr);
        grace.reset();
    }
    CoUninitialize();
    return code;
}

} // namespace KDAutoUpdate::ComServer
