#pragma once
// The type library's IDL, written from the automation description: dual interfaces whose
// dispatch ids follow the slot order, the agent's event interface, the creatable agent and the
// records hosts receive but cannot create, and the published enumerations.

#include <string>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

std::string WriteIdl();
// The IDL's name of a member's type: BSTR, VARIANT_BOOL, long, DATE, an interface pointer.
std::string IdlTypeName(AuType type, const ClassDescription* cls);

} // namespace KDAutoUpdate
