#pragma once
// A published object as a COM automation object: IDispatch over the automation description.
// Names map to dispatch ids in slot order (a property's writer shares its reader's id), the
// ids of the type library; calls go through the description's dispatcher, so every member is
// reached as from any other host. Errors reach the caller as an exception with number, source
// and description. The object also answers its dual interface (ComDualInterface.h), whose
// vtable forwards to the same Invoke, and says that interface sets error objects.

#include <windows.h>

#include <oaidl.h>

#include <atomic>
#include <functional>
#include <memory>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

class ComObject : public IDispatch, public ISupportErrorInfo {
public:
    // `library` may be null: GetTypeInfo then answers that there is none.
    ComObject(const ClassDescription& type, std::shared_ptr<void> instance, ITypeLib* library);

    // Further interfaces of this object (the agent's connection point), asked for every
    // interface but IUnknown and IDispatch; `holder` keeps them and goes after the instance.
    void SetExtension(std::shared_ptr<void> holder, IUnknown* extension) {
        m_extensionHolder = std::move(holder);
        m_extension = extension;
    }

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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    virtual ~ComObject();
    const MemberDescription* Member(DISPID id, WORD flags) const;

    static std::atomic<long> s_live;
    std::atomic<ULONG> m_refs{1};
    const ClassDescription& m_type;
    std::shared_ptr<void> m_instance;
    ITypeLib* m_library;
    IID m_dualId{};
    std::shared_ptr<IDispatch> m_dual; // made on the first request
    std::shared_ptr<void> m_extensionHolder;
    IUnknown* m_extension = nullptr;
};

} // namespace KDAutoUpdate
