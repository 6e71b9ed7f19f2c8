#pragma once
// The utility library: system queries and formatting helpers the agent calls.
// Operations that can fail in a way the caller must pass on answer std::nullopt.

#include <memory>
#include <optional>
#include <string>

#include "platform/FileLock.h"

namespace KDAutoUpdate {

class LoadedForms;

class IUtilityLibrary {
public:
    virtual ~IUtilityLibrary() = default;

    // True when a form of that name is loaded in the thread's collection.
    virtual bool IsFormLoaded(const std::string& formName, const LoadedForms& forms) = 0;
    // Whether the machine has a network connection now; nullopt when it cannot be determined.
    virtual std::optional<bool> GetConnectedState(long& flags) = 0;
    // Tries to establish a connection; answers whether one exists afterwards.
    virtual std::optional<bool> ConnectNetwork(long flags, const std::string& entry,
                                               long options) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // Renames a file, replacing `to`; false when it could not be done (or the backend cannot).
    [[nodiscard]] virtual bool RenameFile(const std::string& /*from*/, const std::string& /*to*/) {
        return false;
    }
    // Waits for the exclusive lock of the lock file at `path` (created when missing). Null when
    // no lock can be had there, or the backend has none: the caller then goes on unlocked.
    virtual std::unique_ptr<IFileLock> LockFile(const std::string& /*path*/) { return nullptr; }
    // The file `path` names once its symbolic links are followed (also a link whose target is
    // missing); `path` itself when it is no link or the backend does not know links.
    virtual std::string ResolveLinks(const std::string& path) { return path; }
    // A text that changes whenever the file is written or replaced; empty when it is missing
    // or the backend cannot tell, which a caller takes as "may have changed".
    virtual std::string FileStamp(const std::string& /*path*/) { return {}; }

    // Processes of the current user, by executable name with or without ".exe".
    virtual bool IsProcessRunning(const std::string& processName) = 0;
    [[nodiscard]] virtual bool KillProcess(const std::string& processName) = 0;

    // The path part of a res:// URL for a resource file.
    virtual std::string ResourceUrlPath(const std::string& filePath) = 0;

    // Display texts of the download dialog.
    virtual std::string FormatByteSize(long long bytes) = 0;
    virtual std::string FormatDuration(long long& seconds) = 0;
    virtual std::string ShortenText(const std::string& text, short& maxLength) = 0;
};

} // namespace KDAutoUpdate
