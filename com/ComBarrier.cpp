#include "com/ComBarrier.h"

#include <cstring>
#include <exception>
#include <new>

#include "com/ComErrorInfo.h"

namespace KDAutoUpdate {

namespace {

constexpr wchar_t kSource[] = L"KDAutoUpdate";
constexpr char kPrefix[] = "Internal error: ";

// Text for the caller without the C++ library: it may be out of memory.
BSTR Describe(HRESULT code, const char* what) noexcept {
    if (code == E_OUTOFMEMORY)
        return SysAllocString(L"Out of memory.");
    char text[512] = {};
    std::strncat(text, kPrefix, sizeof text - 1);
    std::strncat(text, what && *what ? what : "the call failed unexpectedly.",
                 sizeof text - 1 - std::strlen(text));
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    BSTR description = length > 0 ? SysAllocStringLen(nullptr, static_cast<UINT>(length - 1))
                                   : nullptr;
    if (description)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, description, length);
    return description;
}

} // namespace

HRESULT ComBarrier::Failed(REFIID iid, EXCEPINFO* exception) noexcept {
    HRESULT code = E_UNEXPECTED;
    const char* what = nullptr;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        code = E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    BSTR source = SysAllocString(kSource);
    BSTR description = Describe(code, what);
    ComErrorInfo::Set(iid, source, description);
    if (!exception) {
        SysFreeString(source);
        SysFreeString(description);
        return code;
    }
    *exception = EXCEPINFO{};
    exception->scode = code;
    exception->bstrSource = source; // the caller's now
    exception->bstrDescription = description;
    return DISP_E_EXCEPTION;
}

} // namespace KDAutoUpdate
