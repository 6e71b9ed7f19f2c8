#include "com/ComAgentEvents.h"

#include <vector>

#include "com/ComBarrier.h"
#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

constexpr DISPID kNewMessages = 1;
constexpr DISPID kProcessCompleted = 2;

BSTR Bstr(const std::string& text) {
    const std::wstring wide = Widen(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

} // namespace

HRESULT ComAgentEvents::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        *object = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(riid, IID_IConnectionPoint)) {
        *object = static_cast<IConnectionPoint*>(this);
    } else if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        return m_owner.QueryInterface(riid, object); // one identity with the agent's object
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT ComAgentEvents::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, m_eventInterface))
        return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT ComAgentEvents::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = m_eventInterface;
    return S_OK;
}

HRESULT ComAgentEvents::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT ComAgentEvents::Advise(IUnknown* sink, DWORD* cookie) {
    return ComBarrier::Run(IID_IConnectionPoint, [&] {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        Microsoft::WRL::ComPtr<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(m_eventInterface,
                                        reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
            FAILED(sink->QueryInterface(IID_IDispatch,
                                        reinterpret_cast<void**>(dispatch.ReleaseAndGetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        m_sinks.emplace(m_nextCookie, std::move(dispatch));
        *cookie = m_nextCookie++;
        return S_OK;
    });
}

HRESULT ComAgentEvents::Unadvise(DWORD cookie) {
    return ComBarrier::Run(IID_IConnectionPoint, [&] {
        // The sink is released after it has left the map: its Release may call back.
        Microsoft::WRL::ComPtr<IDispatch> sink;
        const auto it = m_sinks.find(cookie);
        if (it == m_sinks.end())
            return CONNECT_E_NOCONNECTION;
        sink = std::move(it->second);
        m_sinks.erase(it);
        return S_OK;
    });
}

void ComAgentEvents::Raise(DISPID id, DISPPARAMS& params) {
    // A copy with references: a sink may unadvise while it handles the event.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> sinks;
    for (auto& [cookie, sink] : m_sinks)
        sinks.push_back(sink);
    for (const auto& sink : sinks)
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
}

void ComAgentEvents::NewMessages(long lMessageCount, const std::string& sMessageStamp,
                                 const std::string& sResponseXML, bool& bSkipDialog) {
    VARIANT_BOOL skip = bSkipDialog ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT args[4]; // last argument first
    for (VARIANT& a : args)
        VariantInit(&a);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &skip;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = Bstr(sResponseXML);
    args[2].vt = VT_BSTR;
    args[2].bstrVal = Bstr(sMessageStamp);
    args[3].vt = VT_I4;
    args[3].lVal = lMessageCount;
    DISPPARAMS params{args, nullptr, 4, 0};
    Raise(kNewMessages, params);
    VariantClear(&args[1]);
    VariantClear(&args[2]);
    bSkipDialog = skip != VARIANT_FALSE;
}

void ComAgentEvents::ProcessCompleted() {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Raise(kProcessCompleted, none);
}

} // namespace KDAutoUpdate
