// The pending-update reminder of AuAgent: an update downloaded to be installed at the next
// start is offered again, and its command started when the user agrees.

#include "store/AuProductInfo.h"
#include "agent/AuAgent.h"
#include "deploy/PackageTrust.h"
#include "platform/ProcessLauncher.h"
#include "store/dlgInstallLastUpdate.h"

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
    // A reminder that cannot be loaded is a skipped step like any other: the steps after it run.
    dialog.Load();
    dialog.Init(info->LastUpdateName, Ptr());
    if (!dialog.Cancelled()) {
        // The file may have changed since it was recorded: a refused one is gone for good. A
        // command that cannot be started is not reported; the record is cleared all the same.
        const bool accepted = AcceptRecordedPackage(*this, info->LastUpdateName);
        if (accepted && m_platform.processes)
            (void)m_platform.processes->StartCommandLine(info->LastUpdateCmd);
        ClearPendingUpdate(*this);
        result = accepted;
    }
    dialog.Unload();
    return result;
}

} // namespace KDAutoUpdate
