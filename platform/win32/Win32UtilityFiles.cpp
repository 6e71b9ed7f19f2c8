// The file operations of the Win32 utility library that the update store relies on: the rename
// that keeps an unreadable store aside, and the lock that agents of all processes share.

#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileLock.h"
#include "platform/win32/Win32UtilityLibrary.h"

namespace KDAutoUpdate {

bool Win32UtilityLibrary::RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty())
        return false;
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::unique_ptr<IFileLock> Win32UtilityLibrary::LockFile(const std::string& path) {
    return Win32FileLock::Acquire(path);
}

} // namespace KDAutoUpdate
