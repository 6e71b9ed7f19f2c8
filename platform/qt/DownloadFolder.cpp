#include "platform/qt/DownloadFolder.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace KDAutoUpdate::DownloadFolder {

namespace fs = std::filesystem;

namespace {

// A folder in a shared place is used only when it is a real folder of this user that no one
// else can enter.
bool MakeOwnFolder(const fs::path& folder) {
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

std::string Choose(const std::string& wanted, const std::string& fallbackRoot) {
    if (IsCommandLineSafe(wanted))
        return wanted;
    const fs::path own = fs::path(fallbackRoot) / ("kdautoupdate-" + std::to_string(::getuid()));
    if (!IsCommandLineSafe(own.string()) || !MakeOwnFolder(own))
        return {};
    return (own / "downloads").string();
}

} // namespace KDAutoUpdate::DownloadFolder
