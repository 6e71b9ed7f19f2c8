#pragma once
// Which file a path names, and whether it changed: what a reader that writes back later needs
// to know about the file it read.

#include <string>

namespace KDAutoUpdate::FileIdentity {

// `path` with its symbolic links followed, also a last link whose target is missing (so a
// file written there lands where the link points). A relative link counts from its own
// folder. `path` itself when it is no link; after too many links, the last one reached.
std::string ResolveLinks(const std::string& path);

// Device, inode, size and the change times to the nanosecond: a rename over the file or a
// write into it gives another text. Empty when the file is missing (and on Windows).
std::string Stamp(const std::string& path);

} // namespace KDAutoUpdate::FileIdentity
