#include "DeltaChoice.h"

#include <vector>

#include "AuMessage.h"
#include "RecordedPackages.h"
#include "common/IAgent.h"
#include "common/Unicode.h"
#include "platform/PatchApplier.h"
#include "platform/SignatureVerifier.h"

namespace KDAutoUpdate {

namespace {

// The package is rebuilt beside the patch under its own name: a name that would lead
// elsewhere is not used.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos;
}

} // namespace

std::optional<DeltaChoice> DeltaChoice::For(AuMessage& message) {
    IAgent* agent = message.Agent();
    if (!agent || message.PackageSha256().empty() || message.Deltas().empty() ||
        !IsPlainFileName(message.FileName()))
        return std::nullopt;
    Platform& platform = agent->GetPlatform();
    if (!platform.patches || !platform.signatures)
        return std::nullopt;
    // The packages kept are few (one per product and recorded update); each is hashed once.
    for (const std::string& kept : RecordedPackageFiles(*agent)) {
        const std::optional<std::string> sha256 = platform.signatures->FileSha256(kept);
        if (!sha256)
            continue;
        for (const PackageDelta& delta : message.Deltas()) {
            if (LowerCase(delta.baseSha256) == LowerCase(*sha256))
                return DeltaChoice(kept, delta.path);
        }
    }
    return std::nullopt;
}

} // namespace KDAutoUpdate
