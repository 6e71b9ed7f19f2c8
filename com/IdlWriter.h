#pragma once
// The type library's IDL, written from the automation description: dual interfaces whose
// dispatch ids follow the slot order, the agent's event interface, the creatable agent and the
// records hosts receive but cannot create, and the published enumerations.

#include <string>

namespace KDAutoUpdate {

std::string WriteIdl();

} // namespace KDAutoUpdate
