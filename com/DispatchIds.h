#pragma once
// How the members of a published class are numbered for COM: in slot order from 1, a
// property's writer sharing its reader's id. The type library, the dual interfaces and
// IDispatch all take their dispatch ids from here.

#include <cstddef>
#include <string_view>
#include <vector>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

// The dispatch id of each of `type.members`, in the same order.
inline std::vector<int> DispatchIds(const ClassDescription& type) {
    std::vector<int> ids;
    ids.reserve(type.members.size());
    int id = 0;
    std::string_view previous;
    for (const MemberDescription& m : type.members) {
        if (m.kind != MemberKind::PropertyPut || m.name != previous)
            ++id;
        previous = m.name;
        ids.push_back(id);
    }
    return ids;
}

// The dispatch id of `type.events[index]`: the events are numbered in their order from 1.
inline int EventDispatchId(std::size_t index) {
    return static_cast<int>(index) + 1;
}

} // namespace KDAutoUpdate
