#pragma once
// Icons from the resource library's pictures (PNG or ICO bytes), at a size in pixels.

#include <windows.h>

#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

// A new icon the caller destroys; null when there is no picture or it cannot be read.
HICON IconFromPicture(const PicturePtr& picture, int size);

} // namespace KDAutoUpdate
