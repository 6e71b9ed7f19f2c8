#include "com/ComAgentEvents.h"

#include <vector>

#include "com/ComBarrier.h"
#include "com/ComVariant.h"
#include "com/DispatchIds.h"

namespace KDAutoUpdate {

namespace {

DISPID EventId(const EventDescription& event) {
    const auto& events = AuAgentClass().events;
    for (std::size_t i = 0; i < events.size(); ++i)
        if (&events[i] == &event)
            return EventDispatchId(i);
    return DISPID_UNKNOWN;
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

void ComAgentEvents::Raise(const EventDescription& event, std::vector<Variant>& args) {
    const std::size_t count = args.size();
    // values[i] holds argument i; a byRef argument is passed as a reference into it, so a
    // sink's change (and a BSTR it replaced) stays there for reading back and freeing.
    std::vector<VARIANT> values(count);
    std::vector<VARIANT> passed(count); // last argument first, as IDispatch::Invoke takes them
    for (std::size_t i = 0; i < count; ++i) {
        VariantInit(&values[i]);
        ToComVariant(args[i], values[i]);
        VARIANT& p = passed[count - 1 - i];
        if (event.arguments[i].byRef) {
            VariantInit(&p);
            p.vt = static_cast<VARTYPE>(values[i].vt | VT_BYREF);
            p.byref = &values[i].lVal; // every member of the value's union starts here
        } else {
            p = values[i];
        }
    }
    DISPPARAMS params{passed.data(), nullptr, static_cast<UINT>(count), 0};
    // A copy with references: a sink may unadvise while it handles the event.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> sinks;
    for (auto& [cookie, sink] : m_sinks)
        sinks.push_back(sink);
    const DISPID id = EventId(event);
    for (const auto& sink : sinks)
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        if (event.arguments[i].byRef)
            if (const auto back = FromComVariant(values[i]))
                args[i] = *back;
        VariantClear(&values[i]);
    }
}

} // namespace KDAutoUpdate
