#pragma once
// The lock of a lock file on Windows: LockFileEx over the first byte of a file of its own. The
// lock belongs to the handle, so two agents of one process exclude each other as two processes
// do, and the system drops it when the process ends, also when it is killed.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/FileLock.h"

namespace KDAutoUpdate {

class Win32FileLock : public IFileLock {
public:
    // Opens (creating it when missing) the file at `path`, shared with every other opener,
    // and waits for its exclusive lock. Null when the file cannot be opened or locked.
    static std::unique_ptr<IFileLock> Acquire(const std::string& path);

    ~Win32FileLock() override;
    Win32FileLock(const Win32FileLock&) = delete;
    Win32FileLock& operator=(const Win32FileLock&) = delete;

private:
    explicit Win32FileLock(HANDLE file) : m_file(file) {}
    HANDLE m_file;
};

} // namespace KDAutoUpdate
