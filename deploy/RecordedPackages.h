#pragma once
// The packages that updates recorded for a later start still need: the download folder's
// tidying must never remove them, whichever product recorded them.

#include <string>
#include <vector>

namespace KDAutoUpdate {

class IAgent;

// Full paths named by the recorded updates of every product in the update store, as this agent
// holds it and as it is on disk (another agent may have recorded one since): each product's
// "last-update-file" and the paths its "last-update-cmd" carries.
std::vector<std::string> RecordedPackageFiles(IAgent& agent);

} // namespace KDAutoUpdate
