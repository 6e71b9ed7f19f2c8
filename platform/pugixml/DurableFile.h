#pragma once
// Replacing a small file so that a crash or a power cut at any moment leaves either the old
// or the new content on disk, never a mix, and no litter that grows with every crash.

#include <functional>
#include <string>

namespace KDAutoUpdate::DurableFile {

// Writes `content` to "<path>.tmp<pid>", flushes it to disk, renames it over `path` and
// flushes the folder. The new file keeps the mode of the file it replaces. False (and the
// old file untouched) when any step fails. Stale temporaries go first. Where the folder takes
// no new file but the file itself may be written, the file is overwritten in place instead.
bool Replace(const std::string& path, const std::string& content);

// The same, with the content produced piece by piece: `produce` hands each piece to the writer
// it is given and answers false when it failed. A large file is then never held whole.
using PieceWriter = std::function<bool(const std::string& piece)>;
bool Replace(const std::string& path, const std::function<bool(const PieceWriter&)>& produce);

// Removes "<path>.tmp<pid>" files whose writing process is gone: what a killed save left.
void RemoveStaleTemporaries(const std::string& path);

} // namespace KDAutoUpdate::DurableFile
