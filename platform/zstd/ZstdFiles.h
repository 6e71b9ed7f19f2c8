#pragma once
// File helpers shared by the zstd patch maker and applier.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate::ZstdFiles {

// The file system's path for UTF-8 path text (Windows' narrow file functions read the ANSI
// code page instead).
std::filesystem::path PathOf(const std::string& path);
// The whole file, when it can be read and is no longer than `maxBytes`.
std::optional<std::vector<char>> ReadAll(const std::string& path, std::uint64_t maxBytes);
// The smallest window log (2^log bytes) that reaches over `bytes`, within zstd's bounds.
int WindowLogFor(std::uint64_t bytes);
// Moves `from` over `to`; false (and `from` removed) when it cannot.
bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace KDAutoUpdate::ZstdFiles
