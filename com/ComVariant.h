#pragma once
// Values between COM's VARIANT and the automation description's Variant.

#include <windows.h>

#include <oleauto.h>

#include <optional>

#include "common/Variant.h"

namespace KDAutoUpdate {

// A missing optional argument (VT_ERROR DISP_E_PARAMNOTFOUND) becomes an empty Variant;
// nothing when the type has no Variant counterpart. By-reference values are read through.
std::optional<Variant> FromComVariant(const VARIANT& value);
// Writes `value` into `out` (which the caller has initialised); objects are not handled here.
void ToComVariant(const Variant& value, VARIANT& out);

} // namespace KDAutoUpdate
