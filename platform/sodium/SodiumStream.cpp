#include "platform/sodium/SodiumStream.h"

#include <array>
#include <fstream>

namespace KDAutoUpdate {

bool ForEachChunk(const std::string& path,
                  const std::function<void(const unsigned char*, std::size_t)>& consume) {
    std::ifstream in(path, std::ios::binary);
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
