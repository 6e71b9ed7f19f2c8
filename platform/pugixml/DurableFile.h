#pragma once
// Replacing a small file so that a crash or a power cut at any moment leaves either the old
// or the new content on disk, never a mix, and no litter that grows with every crash.

#include <string>

namespace KDAutoUpdate::DurableFile {

// Writes `content` to "<path>.tmp<pid>", flushes it to disk, renames it over `path` and
// flushes the folder. The new file keeps the mode of the file it replaces. False (and the
// old file untouched) when any step fails. Stale temporaries go first.
bool Replace(const std::string& path, const std::string& content);

// Removes "<path>.tmp<pid>" files whose writing process is gone: what a killed save left.
void RemoveStaleTemporaries(const std::string& path);

} // namespace KDAutoUpdate::DurableFile
