#pragma once
// Starting an update's command line, for the page's "install now" and the start-up reminder.

#include <string>

namespace KDAutoUpdate {

struct Platform;

// Starts `commandLine` without waiting. When it cannot be started the user is told in a
// message box with the application title, and the answer is false: the caller then leaves
// the store as it was, so a pending update is offered again at the next start.
bool StartInstaller(Platform& platform, const std::string& commandLine);

} // namespace KDAutoUpdate
