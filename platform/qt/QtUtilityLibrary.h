#pragma once
// The utility library on Qt and Linux: network state from QNetworkInformation or the network
// interfaces, processes of the current user from /proc, the German display texts.

#include <string>
#include <vector>

#include "platform/portable/PortableUtilityLibrary.h"

namespace KDAutoUpdate {

class QtUtilityLibrary : public PortableUtilityLibrary {
public:
    std::optional<bool> GetConnectedState(long& flags) override;
    // There is nothing to dial: answers whether a connection exists.
    std::optional<bool> ConnectNetwork(long flags, const std::string& entry, long options) override;
    bool FileExists(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    std::unique_ptr<IFileLock> LockFile(const std::string& path) override;
    std::string ResolveLinks(const std::string& path) override;
    std::string FileStamp(const std::string& path) override;
    // By process name (comm, or the file name of its executable or first argument); a name with
    // or without ".exe" (any case) means the same program.
    bool IsProcessRunning(const std::string& processName) override;
    // SIGTERM, up to 2 s of grace, then SIGKILL. True when every match has ended. Each
    // process it ends is written to the debug log.
    bool KillProcess(const std::string& processName) override;

    // Process ids of the current user's processes of that name: never a process with another
    // user among its ids, never this process nor one that started it.
    static std::vector<int> FindProcesses(const std::string& processName);
};

} // namespace KDAutoUpdate
