#pragma once
// Feeds a file to a callback in chunks; false when the file cannot be read to its end.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace KDAutoUpdate {

// The file system's path for the agent's UTF-8 path text (on Windows, whose narrow file
// functions read the ANSI code page instead).
std::filesystem::path FilePath(const std::string& path);

bool ForEachChunk(const std::string& path,
                  const std::function<void(const unsigned char*, std::size_t)>& consume);

} // namespace KDAutoUpdate
