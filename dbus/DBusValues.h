#pragma once
// Automation values to and from the Qt D-Bus argument types.

#include <QVariant>

#include <optional>

#include "common/Variant.h"

namespace KDAutoUpdate {

// A received argument as an automation value; nothing for types the surface does not use.
std::optional<Variant> FromDBus(const QVariant& value);
// A scalar result as the D-Bus value of its described type.
QVariant ToDBus(const Variant& value);

} // namespace KDAutoUpdate
