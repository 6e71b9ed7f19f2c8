#include "DeltaRebuild.h"

#include "AuMessage.h"
#include "DeltaChoice.h"
#include "PackageTrust.h"
#include "common/IAgent.h"
#include "platform/PatchApplier.h"
#include "platform/SignatureVerifier.h"

namespace KDAutoUpdate {

std::string DeltaRebuild::Run(AuMessage& message, const DeltaChoice& choice,
                              const std::string& patchFile) {
    IAgent* agent = message.Agent();
    if (!agent || patchFile.empty())
        return {};
    Platform& platform = agent->GetPlatform();
    ISignatureVerifier* files = platform.signatures;
    const std::size_t slash = patchFile.find_last_of("/\\");
    std::string target =
        (slash == std::string::npos ? std::string() : patchFile.substr(0, slash + 1)) +
        message.FileName();
    // A base under the package's own name stays what it is until the new one is proven.
    const bool rebuilt =
        platform.patches && target != choice.BasePath() && target != patchFile &&
        platform.patches->ApplyPatch(choice.BasePath(), patchFile, target, kMaxPackageBytes);
    if (files)
        files->RemoveFile(patchFile);
    if (!rebuilt)
        return {};
    if (PackageProven(message, target))
        return target;
    if (files)
        files->RemoveFile(target);
    return {};
}

} // namespace KDAutoUpdate
