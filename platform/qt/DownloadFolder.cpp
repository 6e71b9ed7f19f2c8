#include "platform/qt/DownloadFolder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/NetworkLimits.h"

namespace KDAutoUpdate::DownloadFolder {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPartSuffix = ".part";

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A folder in a shared place is used only when it is a real folder of this user that no one
// else can enter.
bool MakeOwnFolder(const fs::path& folder) {
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

bool IsSpecial(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || std::strchr("\"'`$&|;<>()*?!#%^{}[]\\", c) != nullptr;
}

bool IsCommandLineSafe(const std::string& path) {
    return std::none_of(path.begin(), path.end(), IsSpecial);
}

std::string Plain(std::string name) {
    std::replace_if(name.begin(), name.end(), IsSpecial, '_');
    return name;
}

std::string Choose(const std::string& wanted, const std::string& fallbackRoot) {
    if (IsCommandLineSafe(wanted))
        return wanted;
    const fs::path own = fs::path(fallbackRoot) / ("kdautoupdate-" + std::to_string(::getuid()));
    if (!IsCommandLineSafe(own.string()) || !MakeOwnFolder(own))
        return {};
    return (own / "downloads").string();
}

void Tidy(const std::string& folder, const NetworkLimits& limits, const std::string& keep) {
    struct Package {
        fs::path path;
        fs::file_time_type written;
    };
    std::vector<Package> packages;
    const auto now = fs::file_time_type::clock::now();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (name == keep || !entry.is_regular_file(ignored))
            continue;
        const fs::file_time_type written = entry.last_write_time(ignored);
        if (ignored)
            continue;
        if (EndsWith(name, kPartSuffix)) {
            if (now - written > std::chrono::milliseconds(limits.stalePartialMs))
                fs::remove(entry.path(), ignored);
            continue;
        }
        packages.push_back({entry.path(), written});
    }
    std::sort(packages.begin(), packages.end(),
              [](const Package& a, const Package& b) { return a.written > b.written; });
    const auto maxAge = std::chrono::hours(24) * limits.keepPackagesDays;
    // The file about to arrive counts as one of the kept ones.
    const std::size_t room = static_cast<std::size_t>(std::max(0, limits.maxKeptPackages - 1));
    for (std::size_t i = 0; i < packages.size(); ++i) {
        std::error_code ignored;
        if (i >= room || now - packages[i].written > maxAge)
            fs::remove(packages[i].path, ignored);
    }
}

} // namespace KDAutoUpdate::DownloadFolder
