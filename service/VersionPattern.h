#pragma once

#include "service/ProductVersion.h"

#include <QString>

namespace KDAutoUpdate {

// Regular expressions (PCRE, as a web server's configuration takes them) that tell from the
// text of a dotted version where it stands against a given version, comparing as
// ProductVersion does: part by part as numbers, leading zeros ignored, missing parts 0.
// They read plain versions only, digits and dots ("5", "5.0.12", "05.1"); anything else
// matches none of them.
namespace VersionPattern {

// Any plain version.
QString Plain();
// Plain versions equal to `version` (5.1 also matches 5.1.0 and 05.01).
QString Equal(const ProductVersion& version);
// Plain versions below `version`; empty when there is none (`version` is 0).
QString Below(const ProductVersion& version);

} // namespace VersionPattern

} // namespace KDAutoUpdate
