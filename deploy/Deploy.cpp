// Deployment of a message: what the page's action and download buttons run.

#include "AuMessage.h"
#include "agent/AuAgent.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

void AuMessage::DownloadFileIE() {
    AuAgent* agent = Agent();
    if (!agent)
        return;
    if (IDesktop* desktop = agent->GetPlatform().desktop)
        desktop->OpenUrl(DownloadPath());
}

void AuMessage::Deploy() {
    [[maybe_unused]] const std::string arguments =
        CmdLine().empty() ? std::string() : " " + CmdLine();
    // The product element is looked up for every type, before anything else: it creates the
    // element when the store has none yet.
    AuAgent* agent = Agent();
    [[maybe_unused]] const XmlElementPtr product = agent ? agent->GetProductNode() : nullptr;

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

    // TODO: download dialog and installation follow.
}

} // namespace KDAutoUpdate
