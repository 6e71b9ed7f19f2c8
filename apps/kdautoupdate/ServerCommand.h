#pragma once
// `kdautoupdate server`: the agent as a D-Bus session service for hosts in other processes.

namespace KDAutoUpdate {

int RunServerCommand(int argc, char** argv);

} // namespace KDAutoUpdate
