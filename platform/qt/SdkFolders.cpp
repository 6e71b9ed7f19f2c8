#include "platform/qt/SdkFolders.h"

#include <dlfcn.h>

#include <filesystem>

namespace KDAutoUpdate::SdkFolders {

std::string LibraryFolder() {
    Dl_info info{};
    // Any function of this library tells which file the loader mapped it from.
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code ec;
    const auto file = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::string() : file.parent_path().string();
}

std::string PluginFolder() {
    const std::string folder = LibraryFolder();
    return folder.empty() ? folder : folder + "/kdautoupdate";
}

std::string DataFolder() {
    const std::string folder = LibraryFolder();
    if (folder.empty())
        return folder;
    return (std::filesystem::path(folder) / KDAU_LIB_TO_DATA).lexically_normal().string();
}

} // namespace KDAutoUpdate::SdkFolders
