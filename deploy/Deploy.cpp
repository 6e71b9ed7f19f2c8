// Deployment of a message: what the page's action and download buttons run.

#include "AuMessage.h"
#include "PackageTrust.h"
#include "RecordedPackages.h"
#include "common/IAgent.h"
#include "dlgAfterDownload.h"
#include "dlgDownload.h"
#include "platform/Desktop.h"
#include "platform/EventLoop.h"
#include "platform/ProcessLauncher.h"
#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

namespace {

enum InstallChoice { kInstallNow = 0, kInstallAtNextStart = 1, kDoNothing = 2 };

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

} // namespace

void AuMessage::DownloadFileIE() {
    IAgent* agent = Agent();
    if (!agent)
        return;
    if (IDesktop* desktop = agent->GetPlatform().desktop)
        desktop->OpenUrl(DownloadPath());
}

std::string AuMessage::DownloadWithDialog() {
    IAgent* agent = Agent();
    if (!agent)
        return {};
    Platform& platform = agent->GetPlatform();
    dlgDownload dialog(platform);
    if (!dialog.Load())
        return {};
    dialog.Execute(this);
    if (platform.loop)
        platform.loop->ProcessPendingEvents();
    std::string result = dialog.Cancelled() ? std::string() : dialog.DownloadedFile();
    dialog.Unload();
    return result;
}

std::string AuMessage::BuildMsiexecCommandLine() const {
    std::string addList;
    std::string reinstallList;
    for (const AuFeature& feature : Features()) {
        if (!feature.InstallState())
            continue;
        std::string& list = feature.FeatureType() == auftNewFeature ? addList : reinstallList;
        if (!list.empty())
            list += ',';
        list += feature.Name();
    }
    std::string command = "Msiexec.exe /p " + LocalPath() + " REINSTALLMODE=vomus";
    if (!addList.empty())
        command += " ADDLOCAL=" + addList;
    if (!reinstallList.empty())
        command += " REINSTALL=" + reinstallList;
    return command;
}

void AuMessage::Deploy() {
    const std::string arguments = CmdLine().empty() ? std::string() : " " + CmdLine();
    // The product element is looked up for every type, before anything else: it creates the
    // element when the store has none yet.
    IAgent* agent = Agent();
    const XmlElementPtr product = agent ? agent->GetProductNode() : nullptr;

    switch (MessageType()) {
    case aumtInfo:
        DownloadFileIE();
        return;
    case aumtExe:
    case aumtMSP:
    case aumtPFTW:
        break;
    default:
        return;
    }
    if (!agent)
        return;
    Platform& platform = agent->GetPlatform();
    if (!AcceptOfferedVersion(*this))
        return;

    const std::string downloaded = TrimBlanks(DownloadWithDialog());
    if (platform.loop)
        platform.loop->ProcessPendingEvents();
    if (downloaded.empty() || !AcceptDownloadedPackage(*this))
        return;

    long choice = -1;
    {
        dlgAfterDownload ask(platform);
        if (ask.Load()) {
            ask.ShowModal(0);
            choice = ask.Cancelled() ? static_cast<long>(kInstallAtNextStart) : ask.InstallOption();
            ask.Unload();
        }
    }

    const std::string command =
        MessageType() == aumtMSP ? BuildMsiexecCommandLine() : LocalPath() + arguments;
    // The package installed or recorded is the base the next update's patch is made from: it
    // is kept from now on. Only where patches are offered, so a store without them is as it
    // was.
    if ((choice == kInstallNow || choice == kInstallAtNextStart) && !Deltas().empty())
        KeepAsPatchBase(*agent, LocalPath());

    if (choice == kInstallAtNextStart) {
        if (product) {
            product->setAttribute("install-last-update-on-startup", "1");
            product->setAttribute("last-update-message-id", ID());
            product->setAttribute("last-update-cmd", command);
            product->setAttribute("last-update-name", Name());
            product->setAttribute("last-kill-proc-name", KillProcName());
            RecordPackageProof(product, *this);
        }
    } else if (choice == kInstallNow) {
        IUtilityLibrary* util = platform.utility;
        // The package's own installer deals with a process that would not end.
        if (util && !KillProcName().empty() && util->IsProcessRunning(KillProcName()))
            (void)util->KillProcess(KillProcName());
        // A command that cannot be started is not reported: the record is cleared all the same.
        if (platform.processes)
            (void)platform.processes->StartCommandLine(command);
        if (product) {
            product->setAttribute("install-last-update-on-startup", "0");
            product->removeAttribute("last-update-message-id");
            product->removeAttribute("last-update-cmd");
            product->removeAttribute("last-update-name");
            product->removeAttribute("last-kill-proc-name");
            ForgetPackageProof(*agent);
        }
    }
}

} // namespace KDAutoUpdate
