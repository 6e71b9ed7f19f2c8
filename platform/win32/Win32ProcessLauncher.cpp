#include "platform/win32/Win32ProcessLauncher.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

bool Win32ProcessLauncher::StartCommandLine(const std::string& commandLine) {
    if (commandLine.find_first_not_of(" \t") == std::string::npos)
        return false;
    std::wstring line = Widen(commandLine); // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace KDAutoUpdate
