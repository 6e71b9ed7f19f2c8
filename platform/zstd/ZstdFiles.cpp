#include "platform/zstd/ZstdFiles.h"

#include <fstream>
#include <system_error>

namespace KDAutoUpdate::ZstdFiles {

std::filesystem::path PathOf(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    return std::filesystem::path(path);
#endif
}

std::optional<std::vector<char>> ReadAll(const std::string& path, std::uint64_t maxBytes) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(PathOf(path), error);
    if (error || size > maxBytes)
        return std::nullopt;
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<char> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return std::nullopt;
    return bytes;
}

int WindowLogFor(std::uint64_t bytes) {
    // zstd's bounds on 64-bit machines (its own names for them are not in the stable API).
    constexpr int kMinWindowLog = 10;
    constexpr int kMaxWindowLog = 31;
    int log = kMinWindowLog;
    while (log < kMaxWindowLog && (std::uint64_t{1} << log) < bytes)
        ++log;
    return log;
}

bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    // Windows does not rename over an existing file everywhere.
    std::filesystem::remove(to, error);
    std::filesystem::rename(from, to, error);
    if (!error)
        return true;
    std::filesystem::remove(from, error);
    return false;
}

} // namespace KDAutoUpdate::ZstdFiles
