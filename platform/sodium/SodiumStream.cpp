#include "platform/sodium/SodiumStream.h"

#include <array>
#include <fstream>

namespace KDAutoUpdate {

std::filesystem::path FilePath(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    return std::filesystem::path(path);
#endif
}

bool ForEachChunk(const std::string& path,
                  const std::function<void(const unsigned char*, std::size_t)>& consume) {
    std::ifstream in(FilePath(path), std::ios::binary);
    if (!in)
        return false;
    std::array<char, 64 * 1024> buffer{};
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got > 0)
            consume(reinterpret_cast<const unsigned char*>(buffer.data()),
                    static_cast<std::size_t>(got));
    }
    return in.eof() && !in.bad();
}

} // namespace KDAutoUpdate
