#pragma once
// Whether a patch adds a feature (ADDLOCAL) or changes an installed one (REINSTALL). Every
// non-zero value counts as a changed feature.

#include <cstdint>

namespace KDAutoUpdate {

enum AuFeatureTypes : std::int32_t { auftNewFeature = 0, auftModifiedFeature = 1 };

} // namespace KDAutoUpdate
