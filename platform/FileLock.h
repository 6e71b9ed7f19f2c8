#pragma once
// A lock that processes sharing a file take before they read it and write it back. It is held
// while the object lives; the system drops it when the holding process dies, however it dies.

namespace KDAutoUpdate {

class IFileLock {
public:
    virtual ~IFileLock() = default;
};

} // namespace KDAutoUpdate
