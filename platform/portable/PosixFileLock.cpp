#include "platform/portable/PosixFileLock.h"

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace KDAutoUpdate {

#ifdef _WIN32

std::unique_ptr<IFileLock> PosixFileLock::Acquire(const std::string& /*path*/) {
    return nullptr;
}

PosixFileLock::~PosixFileLock() = default;

#else

std::unique_ptr<IFileLock> PosixFileLock::Acquire(const std::string& path) {
    if (path.empty())
        return nullptr;
    // O_NOFOLLOW: a link planted under the lock's name must not make us create files elsewhere.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) // a folder others may not write to can still hold a lock file made for all
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return nullptr;
    int result = 0;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<IFileLock>(new PosixFileLock(fd));
}

PosixFileLock::~PosixFileLock() {
    ::close(m_fd); // closing the only descriptor of the open file releases its lock
}

#endif

} // namespace KDAutoUpdate
