#pragma once
// A click handler handed to the HTML engine: a bare IDispatch whose default member runs the
// host's handler. The engine calls it with the event object (attachEvent's handlers get it as
// their argument); a handler that answers false cancels the click's default action through
// the event's returnValue, and the answer is also the call's result, as an onclick property's
// handler answers. The engine bubbles the click from the element through its ancestors to the
// document by itself.

#include <windows.h>

#include <mshtml.h>

#include <functional>

#include "platform/win32/BareDispatch.h"

namespace KDAutoUpdate {

class Win32BrowserClick final : public BareDispatch {
public:
    // `event` is null when the engine passed none.
    using Handler = std::function<bool(IHTMLEventObj* event)>;
    explicit Win32BrowserClick(Handler handler) : m_handler(std::move(handler)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

private:
    ~Win32BrowserClick() override = default;
    Handler m_handler;
};

} // namespace KDAutoUpdate
