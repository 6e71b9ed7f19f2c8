#pragma once
// Replacing a small file on Windows so that a crash or a power cut at any moment leaves either
// the old or the new content on disk, never a mix: the new content goes to a temporary file
// beside the target ("<name>.tmp<pid>"), is flushed to the disk and then moved over the target
// in one step (MoveFileExW, written through). Temporaries of writers that died first are
// removed, so crashes leave no litter that grows.

#include <functional>
#include <string>

namespace KDAutoUpdate::Win32DurableFile {

// `write` produces the new content in the file it is given (a UTF-16 path) and answers false
// when it failed. False, with the old file untouched, when any step fails.
bool Replace(const std::string& path, const std::function<bool(const std::wstring&)>& write);

} // namespace KDAutoUpdate::Win32DurableFile
