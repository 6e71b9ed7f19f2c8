#pragma once
// The download folder's rules on every system: file names a command line carries without
// quotes and every file system accepts, and a folder that does not grow without end.
//
// The installer's command line holds the local path unquoted and is split at blanks and
// quotes, so neither the file name nor the folder may contain one.

#include <string>
#include <vector>

namespace KDAutoUpdate {

struct NetworkLimits;

namespace DownloadFolder {

// A transfer writes "<name>.part" and renames it to its name when it is whole. Beside a
// partial file that can be resumed lies "<name>.resume", the record of what it is part of.
inline constexpr const char* kPartSuffix = ".part";
inline constexpr const char* kResumeSuffix = ".resume";

// Blanks, quotes, controls, the characters shells and command-line splitters treat
// specially, and ":" (a stream name on NTFS).
bool IsSpecial(char c);
bool IsCommandLineSafe(const std::string& path);
// `name` with every special character replaced by "_".
std::string Plain(std::string name);
// The local file name for an address's last path segment, already percent-decoded: without
// path separators, "..", leading dots or control characters, specials as "_", a device name
// of Windows (CON, NUL, COM1...) prefixed with "_", at most 200 bytes (the extension kept),
// "download.bin" when nothing is left.
std::string SafeFileName(const std::string& decodedSegment);
// The folder of one product's packages inside `folder`: a subfolder named after the product
// code without its braces, made safe as SafeFileName does; `folder` itself when the code is
// empty, empty when `folder` is.
std::string ProductFolder(const std::string& folder, const std::string& productCode);
// Removes partial files no transfer writes any more (those with a resume record only once
// they are as old as a kept package may be), records without their partial file, and
// finished packages past their age or beyond the newest ones. What `keep` names is never
// removed, whatever its age: a bare file name (the file about to arrive), or a full path of a
// file in this folder (a package that a recorded update will start later).
void Tidy(const std::string& folder, const NetworkLimits& limits,
          const std::vector<std::string>& keep);

} // namespace DownloadFolder
} // namespace KDAutoUpdate
