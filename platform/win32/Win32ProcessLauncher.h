#pragma once
// Starts a command line with CreateProcessW, which splits it the way Windows programs expect;
// the program is searched as the system searches it (its folder, the system folders, PATH).

#include "platform/ProcessLauncher.h"

namespace KDAutoUpdate {

class Win32ProcessLauncher : public IProcessLauncher {
public:
    bool StartCommandLine(const std::string& commandLine) override;
};

} // namespace KDAutoUpdate
