#pragma once
// Where C++ meets a COM caller: an exception must not unwind into code that knows nothing of
// it. Every entry point of the objects in com/ runs its body here; an exception that escapes
// becomes E_UNEXPECTED (E_OUTOFMEMORY when memory ran out), with the thread's error object
// saying what failed, and for IDispatch::Invoke the same as an exception in its EXCEPINFO.

#include <windows.h>

#include <oaidl.h>

namespace KDAutoUpdate {

class ComBarrier {
public:
    template <class Body> static HRESULT Run(REFIID iid, Body&& body) noexcept {
        try {
            return body();
        } catch (...) {
            return Failed(iid, nullptr);
        }
    }

    // IDispatch::Invoke: with an EXCEPINFO the failure is reported there (DISP_E_EXCEPTION).
    template <class Body>
    static HRESULT RunInvoke(REFIID iid, EXCEPINFO* exception, Body&& body) noexcept {
        try {
            return body();
        } catch (...) {
            return Failed(iid, exception);
        }
    }

private:
    // Called from a handler: looks at the exception being handled.
    static HRESULT Failed(REFIID iid, EXCEPINFO* exception) noexcept;
};

} // namespace KDAutoUpdate
