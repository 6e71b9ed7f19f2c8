#include "platform/win32/Win32BrowserClick.h"

namespace KDAutoUpdate {

HRESULT Win32BrowserClick::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
    if (id != DISPID_VALUE)
        return DISP_E_MEMBERNOTFOUND;
    AddRef(); // the handler may close the page that holds this object
    bool keep = true;
    if (const std::function<bool()> handler = m_handler) {
        try {
            keep = handler();
        } catch (...) {
            keep = false; // a failing handler counts as having cancelled
        }
    }
    Release();
    if (result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = keep ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

} // namespace KDAutoUpdate
