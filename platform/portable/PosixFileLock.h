#pragma once
// The lock of a lock file on POSIX systems: flock on a file of its own. The lock belongs to
// the open file, so two agents of one process exclude each other as two processes do, and the
// kernel drops it when the process ends, also when it is killed.

#include <memory>
#include <string>

#include "platform/FileLock.h"

namespace KDAutoUpdate {

class PosixFileLock : public IFileLock {
public:
    // Opens (creating it when missing, else read-only when it cannot be written) the file at
    // `path` and waits for its exclusive lock. Null when the file cannot be opened or locked,
    // and always on a system without flock.
    static std::unique_ptr<IFileLock> Acquire(const std::string& path);

    ~PosixFileLock() override;
    PosixFileLock(const PosixFileLock&) = delete;
    PosixFileLock& operator=(const PosixFileLock&) = delete;

private:
    explicit PosixFileLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace KDAutoUpdate
