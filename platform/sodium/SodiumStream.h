#pragma once
// Feeds a file to a callback in chunks; false when the file cannot be read to its end.

#include <cstddef>
#include <functional>
#include <string>

namespace KDAutoUpdate {

bool ForEachChunk(const std::string& path,
                  const std::function<void(const unsigned char*, std::size_t)>& consume);

} // namespace KDAutoUpdate
