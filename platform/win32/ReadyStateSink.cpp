#include "platform/win32/ReadyStateSink.h"

namespace KDAutoUpdate {

HRESULT ReadyStateSink::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
    AddRef(); // the callback may make the document release this sink
    if (auto callback = m_callback)
        callback();
    Release();
    return S_OK;
}

} // namespace KDAutoUpdate
