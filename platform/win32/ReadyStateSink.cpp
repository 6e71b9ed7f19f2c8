#include "platform/win32/ReadyStateSink.h"

namespace KDAutoUpdate {

HRESULT ReadyStateSink::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ReadyStateSink::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT ReadyStateSink::GetTypeInfoCount(UINT* count) {
    if (count)
        *count = 0;
    return S_OK;
}

HRESULT ReadyStateSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
    AddRef(); // the callback may make the document release this sink
    if (auto callback = m_callback)
        callback();
    Release();
    return S_OK;
}

} // namespace KDAutoUpdate
