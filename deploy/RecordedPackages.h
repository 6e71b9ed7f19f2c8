#pragma once
// The packages that updates recorded for a later start still need, and the last package of
// each product that patches of later ones are made from: the download folder's tidying must
// never remove them, whichever product recorded them.

#include <string>
#include <vector>

namespace KDAutoUpdate {

class IAgent;

// Full paths named by the recorded updates of every product in the update store, as this agent
// holds it and as it is on disk (another agent may have recorded one since): each product's
// "last-update-file", "last-package-file" and the paths its "last-update-cmd" carries.
std::vector<std::string> RecordedPackageFiles(IAgent& agent);

// Names `path` as the agent's product's last package, in place of the one before.
void KeepAsPatchBase(IAgent& agent, const std::string& path);

} // namespace KDAutoUpdate
