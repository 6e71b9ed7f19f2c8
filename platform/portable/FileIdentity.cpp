#include "platform/portable/FileIdentity.h"

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace KDAutoUpdate::FileIdentity {

namespace fs = std::filesystem;

std::string ResolveLinks(const std::string& path) {
    constexpr int kMaxLinks = 40; // what the kernel allows before it gives up on a loop
    fs::path current(path);
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)))
            break;
        const fs::path target = fs::read_symlink(current, error);
        if (error)
            break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.lexically_normal().string();
}

#ifdef _WIN32

std::string Stamp(const std::string& /*path*/) {
    return {};
}

#else

std::string Stamp(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return {};
    return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' +
           std::to_string(info.st_size) + ':' + std::to_string(info.st_mtim.tv_sec) + '.' +
           std::to_string(info.st_mtim.tv_nsec) + ':' + std::to_string(info.st_ctim.tv_sec) +
           '.' + std::to_string(info.st_ctim.tv_nsec);
}

#endif

} // namespace KDAutoUpdate::FileIdentity
