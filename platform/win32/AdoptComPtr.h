#pragma once
// Hands a reference the caller already owns (a new object's first one, an [out] pointer) to a
// ComPtr without adding another. mingw-w64's ComPtr::Attach adds a reference of its own, so
// it cannot be used to take ownership: every object so attached would never be freed.

#include <wrl/client.h>

namespace KDAutoUpdate {

template <class T> Microsoft::WRL::ComPtr<T> AdoptComPtr(T* owned) {
    Microsoft::WRL::ComPtr<T> pointer;
    *pointer.GetAddressOf() = owned;
    return pointer;
}

} // namespace KDAutoUpdate
