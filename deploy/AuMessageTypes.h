#pragma once
// How a message's package is deployed. The underlying type is fixed so that any 32-bit value
// the page or a host stores is representable; values outside the list deploy nothing.

#include <cstdint>

namespace KDAutoUpdate {

enum AuMessageTypes : std::int32_t { aumtInfo = 0, aumtExe = 1, aumtMSP = 2, aumtPFTW = 3 };

} // namespace KDAutoUpdate
