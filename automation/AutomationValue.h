#pragma once
// What a member call hands back: a plain value or an object of a published class.

#include <memory>

#include "common/Variant.h"

namespace KDAutoUpdate {

struct ClassDescription;

struct AutomationObject {
    const ClassDescription* type = nullptr;
    // Null for Nothing. Records the agent hands out are owned here; objects that belong to
    // someone else (a message's features) are held without ownership.
    std::shared_ptr<void> instance;
};

struct AutomationValue {
    Variant scalar; // empty for methods without result and for objects
    AutomationObject object;

    bool IsObject() const { return object.type != nullptr; }
};

} // namespace KDAutoUpdate
