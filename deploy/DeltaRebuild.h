#pragma once
// Turns a downloaded patch into the message's package: rebuilt from the chosen base beside the
// patch, under the package's own file name, and taken only when its length (from the patch),
// SHA-256 and, where the product has keys, signature are right. Whatever fails leaves neither
// the patch nor a rebuilt file behind, and tells nobody: the caller then fetches the package
// whole.

#include <string>

namespace KDAutoUpdate {

class AuMessage;
class DeltaChoice;

class DeltaRebuild {
public:
    // Packages above this size come whole: a patch cannot make the agent write more.
    static constexpr unsigned long long kMaxPackageBytes = 1ULL << 32;

    // The rebuilt package's path, or empty.
    static std::string Run(AuMessage& message, const DeltaChoice& choice,
                           const std::string& patchFile);
};

} // namespace KDAutoUpdate
