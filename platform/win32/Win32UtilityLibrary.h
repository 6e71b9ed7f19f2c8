#pragma once
// The utility library on Win32: connection state from WinINet, processes from a Tool Help
// snapshot, display texts shared with every other backend.

#include <windows.h>

#include <vector>

#include "platform/portable/PortableUtilityLibrary.h"

namespace KDAutoUpdate {

class Win32UtilityLibrary : public PortableUtilityLibrary {
public:
    std::optional<bool> GetConnectedState(long& flags) override;
    std::optional<bool> ConnectNetwork(long flags, const std::string& entry, long options) override;
    bool FileExists(const std::string& path) override;
    // The store's file operations, in Win32UtilityFiles.cpp. RenameFile replaces `to` in one
    // step and returns only once the move is on disk.
    bool RenameFile(const std::string& from, const std::string& to) override;
    std::unique_ptr<IFileLock> LockFile(const std::string& path) override;
    bool IsProcessRunning(const std::string& processName) override;
    bool KillProcess(const std::string& processName) override;

    // Ids of this session's processes whose executable is `processName` (".exe" optional,
    // case ignored); never the calling process.
    static std::vector<DWORD> FindProcesses(const std::string& processName);
};

} // namespace KDAutoUpdate
