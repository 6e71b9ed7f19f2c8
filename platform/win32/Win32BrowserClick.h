#pragma once
// An onclick handler handed to the HTML engine: a bare IDispatch whose default member runs the
// host's handler. Its answer is the handler's return value, so false cancels the click's
// default action; the engine bubbles the click from the element through its ancestors to the
// document by itself.

#include <functional>

#include "platform/win32/BareDispatch.h"

namespace KDAutoUpdate {

class Win32BrowserClick final : public BareDispatch {
public:
    explicit Win32BrowserClick(std::function<bool()> handler) : m_handler(std::move(handler)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

private:
    ~Win32BrowserClick() override = default;
    std::function<bool()> m_handler;
};

} // namespace KDAutoUpdate
