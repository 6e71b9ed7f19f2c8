#include "agent/InstallerStart.h"

#include "platform/FormView.h"
#include "platform/Platform.h"
#include "platform/ProcessLauncher.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kStartFailedText = "Das Update konnte nicht gestartet werden:\r\n\r\n";
} // namespace

bool StartInstaller(Platform& platform, const std::string& commandLine) {
    if (platform.processes && platform.processes->StartCommandLine(commandLine))
        return true;
    if (platform.forms)
        platform.forms->MsgBox(kStartFailedText + commandLine, MsgBoxButtons::OK,
                               MsgBoxIcon::Critical, "");
    return false;
}

} // namespace KDAutoUpdate
