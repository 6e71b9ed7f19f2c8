#pragma once
// Starts a command line without waiting for it.

#include <string>

namespace KDAutoUpdate {

class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // The whole text is program and arguments, split as a Windows command line is split
    // (blanks separate, double quotes group); never run through a shell. False when it could
    // not be started.
    [[nodiscard]] virtual bool StartCommandLine(const std::string& commandLine) = 0;
};

} // namespace KDAutoUpdate
