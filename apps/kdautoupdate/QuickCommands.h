#pragma once
// One-shot commands (check, display, remind, pending, info, query): each is a short automation
// script built from the command's options and run by the automation shell.

#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate {

struct QuickCommand {
    std::string script;
    long uiTimeoutMs = 30000;
};

// Builds the script of `command` from its options; nullopt with `error` set for bad options.
std::optional<QuickCommand> BuildQuickCommand(const std::string& command,
                                              const std::vector<std::string>& args,
                                              std::string& error);
bool IsQuickCommand(const std::string& command);
// The options every quick command takes, for the usage text.
const char* QuickCommandUsage();

} // namespace KDAutoUpdate
