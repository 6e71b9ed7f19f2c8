#pragma once
// The C++ of the dual interfaces' vtable halves, written from the automation description:
// one class per published interface, overriding the members of the header widl makes from the
// type library's IDL in slot order, each forwarding to the dispatcher with its dispatch id.

#include <string>

namespace KDAutoUpdate {

std::string WriteDualInterfaces();

} // namespace KDAutoUpdate
