#pragma once
// Commands that need Qt Widgets, Qt WebEngine or the HTTP service run from the program's plugin
// (kdautoupdate-commands.so in the library's plugin folder), so the other commands never load
// those libraries.

#include <string>

namespace KDAutoUpdate {

bool IsPluginCommand(const std::string& command);
// Loads the plugin and runs the command; 2 with a message when the plugin cannot be loaded.
int RunPluginCommand(const std::string& command, int argc, char** argv);

} // namespace KDAutoUpdate
