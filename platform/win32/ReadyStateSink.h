#pragma once
// The onreadystatechange handler handed to MSXML: a bare IDispatch whose default member runs a
// callback. The document detaches it before it goes, so a late call finds nothing to run.

#include <functional>

#include "platform/win32/BareDispatch.h"

namespace KDAutoUpdate {

class ReadyStateSink : public BareDispatch {
public:
    explicit ReadyStateSink(std::function<void()> callback) : m_callback(std::move(callback)) {}
    void Detach() { m_callback = nullptr; }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    ~ReadyStateSink() override = default;
    std::function<void()> m_callback;
};

} // namespace KDAutoUpdate
