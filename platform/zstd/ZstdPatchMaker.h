#pragma once
// The vendor's side of ZstdPatchApplier: a patch that rebuilds `target` from `base`, made with
// zstd's patch-from mode (the base as prefix, long-distance matching, a window over both
// files). Both files are held in memory while the patch is made.

#include <string>

namespace KDAutoUpdate {

class ZstdPatchMaker {
public:
    // A high level takes longer and makes a smaller patch; patches are made once per package
    // pair, so the default leans to small.
    static constexpr int kDefaultLevel = 19;

    // Writes the patch to `patch` (through a file beside it, so that a reader never sees a part
    // of one); false when a file cannot be read or written.
    static bool MakePatch(const std::string& base, const std::string& target,
                          const std::string& patch, int level = kDefaultLevel);
};

} // namespace KDAutoUpdate
