#include "platform/win32/Win32Icon.h"

namespace KDAutoUpdate {

HICON IconFromPicture(const PicturePtr& picture, int size) {
    if (!picture || picture->data.empty())
        return nullptr;
    // An icon resource's image may be a whole PNG file; the system scales it to `size`.
    auto* bits = reinterpret_cast<PBYTE>(const_cast<char*>(picture->data.data()));
    return CreateIconFromResourceEx(bits, static_cast<DWORD>(picture->data.size()), TRUE,
                                    0x00030000, size, size, LR_DEFAULTCOLOR);
}

} // namespace KDAutoUpdate
