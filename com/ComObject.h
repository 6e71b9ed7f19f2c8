#pragma once
// A published object as a COM automation object: IDispatch over the automation description.
// Names map to dispatch ids in slot order (a property's writer shares its reader's id), the
// ids of the type library, and a method's argument names to their positions, so hosts may
// pass arguments by name. Arguments are converted to their described types as the automation
// runtime converts them (ComArguments.h); calls go through the description's dispatcher, so
// every member is reached as from any other host. Errors reach the caller as an exception with
// number, source and description. The object also answers its dual interface
// (ComDualInterface.h), whose vtable forwards to the same Invoke, and says that interface sets
// error objects. No C++ exception leaves an entry point (ComBarrier.h).

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <memory>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

class ComObject : public IDispatch, public ISupportErrorInfo {
public:
    // `library` may be null: GetTypeInfo then answers that there is none. The object starts
    // with one reference, the creator's (Make hands it over in a smart pointer).
    ComObject(const ClassDescription& type, std::shared_ptr<void> instance, ITypeLib* library);
    static Microsoft::WRL::ComPtr<ComObject> Make(const ClassDescription& type,
                                                  std::shared_ptr<void> instance,
                                                  ITypeLib* library);

    // Further interfaces of this object (the agent's connection point), asked for every
    // interface but IUnknown and IDispatch. The pointer owns whatever implements them (built
    // with shared_ptr's aliasing constructor), which goes after the instance.
    void SetExtension(std::shared_ptr<IUnknown> extension) { m_extension = std::move(extension); }

    // Objects alive in this process; `handler` runs when the last one goes.
    static long LiveObjects() { return s_live; }
    static void SetLastObjectGone(std::function<void()> handler);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    virtual ~ComObject();
    const MemberDescription* Member(DISPID id, WORD flags) const;
    HRESULT Query(REFIID riid, void** object);
    HRESULT Names(LPOLESTR* names, UINT count, DISPID* ids) const;
    HRESULT Call(DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError);
    // The interface named in error objects.
    REFIID ErrorInterface() const;

    static std::atomic<long> s_live;
    std::atomic<ULONG> m_refs{1};
    const ClassDescription& m_type;
    std::shared_ptr<void> m_instance;
    Microsoft::WRL::ComPtr<ITypeLib> m_library;
    IID m_dualId{};
    std::shared_ptr<IDispatch> m_dual; // made on the first request
    std::shared_ptr<IUnknown> m_extension;
};

} // namespace KDAutoUpdate
