#pragma once
// The fake utility library with the store file operations of the real backends: the lock of a
// lock file, links followed and file stamps. Stamps can be switched off, as on a backend that
// cannot tell whether a file changed; the store then reads the file again at every save.

#include <memory>
#include <string>

#include "platform/portable/FileIdentity.h"
#include "tests/support/FakeUtilityLibrary.h"
#ifdef _WIN32
#include "platform/win32/Win32FileLock.h"
#else
#include "platform/portable/PosixFileLock.h"
#endif

namespace KDAutoUpdate {

class StoreFileUtility : public FakeUtilityLibrary {
public:
    explicit StoreFileUtility(bool stamps = true) : m_stamps(stamps) {}

    std::unique_ptr<IFileLock> LockFile(const std::string& path) override {
#ifdef _WIN32
        return Win32FileLock::Acquire(path);
#else
        return PosixFileLock::Acquire(path);
#endif
    }
    std::string ResolveLinks(const std::string& path) override {
        return FileIdentity::ResolveLinks(path);
    }
    std::string FileStamp(const std::string& path) override {
        return m_stamps ? FileIdentity::Stamp(path) : std::string();
    }

private:
    bool m_stamps;
};

} // namespace KDAutoUpdate
