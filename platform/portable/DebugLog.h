#pragma once
// The agent's debug log: off unless the environment variable KDAUTOUPDATE_DEBUG_LOG names a
// file (lines are appended) or is "-" (standard error).

#include <string>

namespace KDAutoUpdate {

bool DebugLogEnabled();
// One line with the local time in front.
void DebugLog(const std::string& line);

} // namespace KDAutoUpdate
