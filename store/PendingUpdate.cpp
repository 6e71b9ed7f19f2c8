// The pending-update reminder of AuAgent: an update downloaded to be installed at the next
// start is offered again, and its command started when the user agrees.

#include "AuProductInfo.h"
#include "agent/AuAgent.h"
#include "agent/InstallerStart.h"
#include "dlgInstallLastUpdate.h"

namespace KDAutoUpdate {

namespace {
bool IsPending(const AuProductInfo& info) {
    return info.InstallLastUpdateOnStartUp && !info.LastUpdateName.empty() &&
           !info.LastUpdateCmd.empty();
}
} // namespace

std::unique_ptr<AuProductInfo> AuAgent::GetLastInstallableUpdate() {
    if (ProductCode().empty())
        return nullptr;
    std::unique_ptr<AuProductInfo> info = GetProductInfo();
    if (!info || !IsPending(*info))
        return nullptr;
    return info;
}

bool AuAgent::CheckInstallableUpdates(std::optional<bool> bSilent) {
    if (ProductCode().empty())
        return false;
    const std::unique_ptr<AuProductInfo> info = GetProductInfo();
    if (!info || !IsPending(*info))
        return false;
    if (bSilent.value_or(false))
        return false;

    bool result = false;
    dlgInstallLastUpdate dialog(m_platform);
    if (!dialog.Load())
        return false;
    dialog.Init(info->LastUpdateName, Ptr());
    if (!dialog.Cancelled() && StartInstaller(m_platform, info->LastUpdateCmd)) {
        ClearPendingUpdate(*this);
        result = true;
    }
    dialog.Unload();
    return result;
}

} // namespace KDAutoUpdate
