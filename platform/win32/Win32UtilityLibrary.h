#pragma once
// The utility library on Win32: connection state from WinINet, processes from a Tool Help
// snapshot, display texts shared with every other backend.

#include <windows.h>

#include <vector>

#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

class Win32UtilityLibrary : public IUtilityLibrary {
public:
    bool IsFormLoaded(const std::string& formName, const LoadedForms& forms) override;
    std::optional<bool> GetConnectedState(long& flags) override;
    std::optional<bool> ConnectNetwork(long flags, const std::string& entry, long options) override;
    bool FileExists(const std::string& path) override;
    // The store's file operations, in Win32UtilityFiles.cpp. RenameFile replaces `to` in one
    // step and returns only once the move is on disk.
    bool RenameFile(const std::string& from, const std::string& to) override;
    std::unique_ptr<IFileLock> LockFile(const std::string& path) override;
    bool IsProcessRunning(const std::string& processName) override;
    bool KillProcess(const std::string& processName) override;
    std::string ResourceUrlPath(const std::string& filePath) override;
    std::string FormatByteSize(long long bytes) override;
    std::string FormatDuration(long long& seconds) override;
    std::string ShortenText(const std::string& text, short& maxLength) override;

    // Ids of this session's processes whose executable is `processName` (".exe" optional,
    // case ignored); never the calling process.
    static std::vector<DWORD> FindProcesses(const std::string& processName);
};

} // namespace KDAutoUpdate
