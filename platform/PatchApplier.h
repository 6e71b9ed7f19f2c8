#pragma once
// Rebuilds a package from a package the machine already has (the base) and a patch made from
// the two, so that an update costs the bytes that changed instead of the whole package. The
// patch is a compressed frame that refers to the base as its dictionary; the rebuilt file is
// only ever complete or absent. Nothing here throws.

#include <cstdint>
#include <string>

namespace KDAutoUpdate {

class IPatchApplier {
public:
    virtual ~IPatchApplier() = default;
    // Writes `target` from `base` and the patch at `patch`. The patch states the target's
    // length; a target longer than `maxTargetBytes`, a base the patch was not made from (as far
    // as the frame's checksum tells), a patch that is cut short or anything that cannot be read
    // or written fails. On failure no file is left at `target`; a file there before is
    // replaced only on success. Memory stays near the base's size plus the decoder's window.
    [[nodiscard]] virtual bool ApplyPatch(const std::string& base, const std::string& patch,
                                          const std::string& target,
                                          std::uint64_t maxTargetBytes) = 0;
};

} // namespace KDAutoUpdate
