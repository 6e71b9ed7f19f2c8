// A native Windows host of the automation server that sinks the agent's events, which script
// hosts cannot: it creates "KDAutoUpdate.AuAgent", connects to __AuAgent, starts an
// asynchronous check and answers NewMessages with bSkipDialog = True (so no dialog opens),
// then waits for ProcessCompleted.
//   kdau_event_client.exe BaseURL ProductCode
#include <windows.h>

#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

bool g_completed = false;

// The event sink: an IDispatch whose members are the events' dispatch ids.
class Sink : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on main's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id == 1 && p->cArgs == 4 && p->rgvarg[0].vt == (VT_BOOL | VT_BYREF)) {
            std::printf("Event NewMessages %ld %ls\n", p->rgvarg[3].lVal, p->rgvarg[2].bstrVal);
            *p->rgvarg[0].pboolVal = VARIANT_TRUE;
            std::printf("Answered bSkipDialog = True\n");
        } else if (id == 2) {
            std::printf("Event ProcessCompleted\n");
            g_completed = true;
        }
        std::fflush(stdout);
        return S_OK;
    }
};

HRESULT Call(IDispatch* object, const wchar_t* name, WORD kind, VARIANT* args, UINT count,
             VARIANT* result) {
    DISPID id = 0;
    auto* names = const_cast<LPOLESTR>(name);
    if (FAILED(object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id)))
        return DISP_E_UNKNOWNNAME;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, kind == DISPATCH_PROPERTYPUT ? &put : nullptr, count,
                      kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr,
                          nullptr);
}

HRESULT SetText(IDispatch* object, const wchar_t* name, const wchar_t* text) {
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
    const HRESULT hr = Call(object, name, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
    VariantClear(&value);
    return hr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid;
    IDispatch* agent = nullptr;
    if (FAILED(CLSIDFromProgID(L"KDAutoUpdate.AuAgent", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&agent)))) {
        std::printf("The agent could not be created\n");
        return 1;
    }
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    IID events;
    IIDFromString(L"{8A855A23-467E-4A42-829F-5F3CDE1160E9}", &events);
    Sink sink;
    DWORD cookie = 0;
    if (FAILED(agent->QueryInterface(IID_IConnectionPointContainer,
                                     reinterpret_cast<void**>(&container))) ||
        FAILED(container->FindConnectionPoint(events, &point)) ||
        FAILED(point->Advise(&sink, &cookie))) {
        std::printf("The agent's events could not be connected\n");
        return 1;
    }
    SetText(agent, L"BaseURL", argv[1]);
    SetText(agent, L"ProductCode", argv[2]);
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = Call(agent, L"CheckMessages", DISPATCH_METHOD, nullptr, 0, &result);
    std::printf("CheckMessages -> %s\n", SUCCEEDED(hr) ? "started" : "failed");
    std::fflush(stdout);
    const ULONGLONG deadline = GetTickCount64() + 30000;
    MSG msg;
    while (!g_completed && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    point->Unadvise(cookie);
    point->Release();
    container->Release();
    agent->Release();
    CoUninitialize();
    return g_completed ? 0 : 1;
}
