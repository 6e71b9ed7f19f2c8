#pragma once
// Starts a command line as a new process without waiting for it and without a shell: the line
// is split into program and arguments by the Windows rules, so every argument arrives exactly
// as written. The new process starts in its program's folder.
//
// Commands recorded for Windows name their program with ".exe"; when that file does not exist
// but the same name without the suffix does, the latter is started.

#include <string>

#include "platform/ProcessLauncher.h"

namespace KDAutoUpdate {

class QtProcessLauncher : public IProcessLauncher {
public:
    bool StartCommandLine(const std::string& commandLine) override;

    // The program to run for the name a command line gives: a path (with a "/") as it is, a
    // bare name looked up on PATH, either one tried without ".exe" when needed. Empty when
    // nothing runnable is found.
    static std::string ResolveProgram(const std::string& program);
};

} // namespace KDAutoUpdate
