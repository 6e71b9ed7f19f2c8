#pragma once
// Calls a published member by name with loosely typed arguments: finds it in the class's
// description, checks and coerces the arguments, fills in defaults, and returns the result or
// the error the call raised, as an automation host would see them.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "AutomationDescription.h"

namespace KDAutoUpdate {

// Errors the dispatcher itself raises (the automation runtime's own numbers).
constexpr long kErrTypeMismatch = 13;
constexpr long kErrArgumentNotOptional = 449;
constexpr long kErrWrongArgumentCount = 450;
constexpr long kErrMemberNotFound = 438;

// The member of that name (compared without regard to ASCII case) and kind, or null.
const MemberDescription* FindMember(const ClassDescription& type, std::string_view name,
                                    MemberKind kind);

// The value as the described type, or nothing when it cannot be converted.
std::optional<Variant> CoerceTo(AuType type, const Variant& value);

// Positional arguments; an empty Variant stands for a missing optional argument. A property
// writer takes the new value as its one argument.
Outcome<AutomationValue> Invoke(void* self, const MemberDescription& member,
                                std::vector<Variant> args);
Outcome<AutomationValue> Invoke(const ClassDescription& type, void* self, std::string_view name,
                                MemberKind kind, std::vector<Variant> args);

// Named arguments in the member's positional order; the name of the first unknown argument
// in `unknown` and nothing when there is one.
std::optional<std::vector<Variant>> ArgumentsByName(const MemberDescription& member,
                                                    const std::map<std::string, Variant>& named,
                                                    std::string* unknown = nullptr);

} // namespace KDAutoUpdate
