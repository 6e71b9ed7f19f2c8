#pragma once
// The agent's events for COM hosts: the connection point of __AuAgent on the agent's object.
// Hosts advise an IDispatch sink; each described event is invoked on every sink with its
// dispatch id and arguments, byRef ones (NewMessages' bSkipDialog) passed by reference and
// read back from what the last sink left in them. Lives inside the agent's ComObject and counts with it. No
// C++ exception leaves its entry points (ComBarrier.h).

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <map>
#include <vector>

#include "automation/AutomationEventRaiser.h"

namespace KDAutoUpdate {

class ComAgentEvents : public IConnectionPointContainer,
                       public IConnectionPoint,
                       public AutomationEventRaiser {
public:
    ComAgentEvents(IUnknown& owner, const IID& eventInterface)
        : m_owner(owner), m_eventInterface(eventInterface) {}
    ~ComAgentEvents() override = default;
    ComAgentEvents(const ComAgentEvents&) = delete;
    ComAgentEvents& operator=(const ComAgentEvents&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

protected:
    void Raise(const EventDescription& event, std::vector<Variant>& args) override;

private:
    IUnknown& m_owner;
    IID m_eventInterface;
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> m_sinks;
    DWORD m_nextCookie = 1;
};

} // namespace KDAutoUpdate
