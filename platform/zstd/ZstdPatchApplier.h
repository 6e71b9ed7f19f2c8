#pragma once
// IPatchApplier on libzstd: the patch is one zstd frame compressed with the base as its
// prefix (the "patch-from" mode), carrying the target's length and a checksum.

#include "platform/PatchApplier.h"

namespace KDAutoUpdate {

class ZstdPatchApplier : public IPatchApplier {
public:
    bool ApplyPatch(const std::string& base, const std::string& patch, const std::string& target,
                    std::uint64_t maxTargetBytes) override;
};

} // namespace KDAutoUpdate
