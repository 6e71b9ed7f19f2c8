// A native Windows host that binds early: it creates "KDAutoUpdate.AuAgent" for the dual
// interface _AuAgent and calls its vtable (the header widl writes from the type library),
// as C++ and VB hosts do. It prints defaults, normalises ProductCode and, given a service,
// checks synchronously with the optional arguments, reads the stored record through
// _AuProductInfo, then provokes the busy error and prints its HRESULT and error object.
//   kdau_vtable_client.exe [BaseURL ProductCode]
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>

#include "KDAutoUpdate_h.h"

namespace {

const char* Bool(VARIANT_BOOL value) {
    return value ? "True" : "False";
}

void Print(const char* label, BSTR text) {
    std::printf("%s = %ls\n", label, text ? text : L"");
    SysFreeString(text);
}

// Fails the program with the call's name and HRESULT.
bool Ok(HRESULT hr, const char* what) {
    if (FAILED(hr))
        std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

bool CheckService(_AuAgent* agent, const wchar_t* base, const wchar_t* product) {
    BSTR text = SysAllocString(base);
    bool ok = Ok(agent->put_BaseURL(text), "put_BaseURL");
    SysFreeString(text);
    text = SysAllocString(product);
    ok = ok && Ok(agent->put_ProductCode(text), "put_ProductCode");
    SysFreeString(text);
    VARIANT_BOOL silent = VARIANT_TRUE, async = VARIANT_FALSE, automatic = VARIANT_TRUE;
    VARIANT_BOOL found = VARIANT_FALSE;
    if (!ok || !Ok(agent->CheckMessages(&silent, &async, &automatic, &found), "CheckMessages"))
        return false;
    std::printf("CheckMessages = %s\n", Bool(found));

    _AuProductInfo* info = nullptr;
    if (!Ok(agent->GetProductInfo(&info), "GetProductInfo") || !info)
        return false;
    info->get_ProductCode(&text);
    Print("Record ProductCode", text);
    info->get_LastMessageStamp(&text);
    Print("Record LastMessageStamp", text);
    DATE checked = 0, today = 0;
    SYSTEMTIME now;
    GetLocalTime(&now);
    SystemTimeToVariantTime(&now, &today);
    info->get_LastCheckedDate(&checked);
    std::printf("Record checked today = %s\n",
                std::floor(checked) == std::floor(today) ? "True" : "False");
    info->Release();

    // A second check while the first (asynchronous) one or its dialog (not silent) runs is
    // refused.
    async = VARIANT_TRUE;
    silent = VARIANT_FALSE;
    if (!Ok(agent->CheckMessages(&silent, &async, &automatic, &found), "CheckMessages async"))
        return false;
    const HRESULT busy = agent->CheckMessages(&silent, &async, &automatic, &found);
    std::printf("Busy HRESULT = 0x%08lX\n", static_cast<unsigned long>(busy));
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&text);
        Print("Busy Source", text);
        error->GetDescription(&text);
        Print("Busy Description", text);
        error->Release();
    } else {
        std::printf("Busy error object missing\n");
    }
    return busy == static_cast<HRESULT>(0x80040000L);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // a host that hangs shows how far it came
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int status = 1;
    CLSID agentClass;
    _AuAgent* agent = nullptr;
    if (Ok(CLSIDFromProgID(L"KDAutoUpdate.AuAgent", &agentClass), "CLSIDFromProgID") &&
        Ok(CoCreateInstance(agentClass, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(_AuAgent),
                            reinterpret_cast<void**>(&agent)),
           "CoCreateInstance(_AuAgent)")) {
        LONG number = 0;
        VARIANT_BOOL flag = VARIANT_FALSE;
        agent->get_UILanguageLCID(&number);
        std::printf("UILanguageLCID = %ld\n", number);
        agent->get_CompatMode(&number);
        std::printf("CompatMode = %ld\n", number);
        agent->get_AutoConnect(&flag);
        std::printf("AutoConnect = %s\n", Bool(flag));
        agent->get_IsProcessing(&flag);
        std::printf("IsProcessing = %s\n", Bool(flag));
        BSTR text = SysAllocString(L"1234");
        agent->put_ProductCode(text);
        SysFreeString(text);
        agent->get_ProductCode(&text);
        Print("ProductCode", text);
        ISupportErrorInfo* support = nullptr;
        if (SUCCEEDED(
                agent->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
            std::printf("Error objects = %s\n",
                        support->InterfaceSupportsErrorInfo(__uuidof(_AuAgent)) == S_OK ? "True"
                                                                                        : "False");
            support->Release();
        }
        status = argc == 3 && !CheckService(agent, argv[1], argv[2]) ? 1 : 0;
        agent->Release();
    }
    CoUninitialize();
    return status;
}
