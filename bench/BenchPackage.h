#pragma once
// The large package of the download benchmarks: its size as the command line gives it, and the
// file written to serve it.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate::Bench {

constexpr long long kMiB = 1024 * 1024;

// "BYTES", "BYTESK", "BYTESM" or "BYTESG" (either case); nullopt for anything else or no bytes.
inline std::optional<long long> ParseSize(std::string text) {
    long long unit = 1;
    const char last = text.empty() ? '\0' : static_cast<char>(std::toupper(text.back()));
    if (last == 'K' || last == 'M' || last == 'G') {
        unit = last == 'K' ? 1024 : last == 'M' ? kMiB : 1024 * kMiB;
        text.pop_back();
    }
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value <= 0)
        return std::nullopt;
    return value * unit;
}

// A file of `size` bytes written in 1 MiB pieces of a varying pattern.
inline bool WritePackage(const std::filesystem::path& path, long long size) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block(static_cast<std::size_t>(kMiB));
    for (long long written = 0, n = 0; written < size; ++n) {
        for (std::size_t i = 0; i < block.size(); i += 4096)
            block[i] = static_cast<char>(n + static_cast<long long>(i / 4096));
        const long long piece = std::min<long long>(kMiB, size - written);
        out.write(block.data(), static_cast<std::streamsize>(piece));
        written += piece;
    }
    return static_cast<bool>(out);
}

} // namespace KDAutoUpdate::Bench
