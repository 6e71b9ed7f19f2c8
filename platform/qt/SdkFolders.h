#pragma once
// Where the installed library keeps what it needs beside itself: its plugins in
// <libdir>/kdautoupdate and its data (the resource library, the sample catalogue) in
// <datadir>/kdautoupdate. In a build tree the same layout holds (lib/, lib/kdautoupdate).

#include <string>

namespace KDAutoUpdate::SdkFolders {

// The folder holding libkdautoupdate itself; empty when it cannot be told.
std::string LibraryFolder();
// <LibraryFolder>/kdautoupdate: the library's plugins.
std::string PluginFolder();
// The installed data folder, found relative to the library.
std::string DataFolder();

} // namespace KDAutoUpdate::SdkFolders
