#pragma once
// The published automation surface as data: each class with its members in interface slot
// order, their kinds, types and arguments, and the events of the agent. Every front that
// reaches the agent by member name (the shell, the D-Bus service, a COM server) reads this
// description; nothing else lists the members.

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "AutomationValue.h"
#include "common/AutomationError.h"
#include "common/Variant.h"

namespace KDAutoUpdate {

enum class AuType { Void, Boolean, Long, String, Date, Object };

// A property has a reader slot and, unless read-only, a writer slot right after it.
enum class MemberKind { PropertyGet, PropertyPut, Method };

struct ArgumentDescription {
    std::string_view name;
    AuType type = AuType::Void;
    bool optional = false;
    bool byRef = false;
    // The value a missing optional argument takes; none means "missing" is passed on.
    std::optional<Variant> defaultValue;
};

struct ClassDescription;

// Calls the member on `self` with arguments already coerced to their described types; a
// missing optional argument without default is an empty Variant.
using MemberInvoker = Outcome<AutomationValue> (*)(void* self, std::vector<Variant>& args);

struct MemberDescription {
    std::string_view name;
    MemberKind kind = MemberKind::Method;
    // The property's type, or the method's result type.
    AuType type = AuType::Void;
    std::vector<ArgumentDescription> arguments;
    // For Object results: the class of the object handed out.
    const ClassDescription* resultClass = nullptr;
    MemberInvoker invoke = nullptr;
};

// An event in the order of the host's event interface. Hosts receive the arguments in the
// order given here; they may change byRef ones, which the agent reads back.
struct EventDescription {
    std::string_view name;
    std::vector<ArgumentDescription> arguments;
};

// A published enumeration. Members take and return its values as plain Longs.
struct EnumDescription {
    std::string_view name;
    std::string_view id;
    std::vector<std::pair<std::string_view, std::int32_t>> values;
};

struct ClassDescription {
    std::string_view name;          // "AuAgent"
    std::string_view interfaceName; // "_AuAgent"
    std::string_view classId;
    std::string_view interfaceId;
    bool creatable = false;
    std::vector<MemberDescription> members; // in slot order
    std::string_view eventInterfaceName;    // "__AuAgent", empty without events
    std::string_view eventInterfaceId;
    std::vector<EventDescription> events;
};

// The published classes.
const ClassDescription& AuAgentClass();
const ClassDescription& AuProductInfoClass();
const ClassDescription& AuMessageClass();
const ClassDescription& AuFeatureClass();
// AuMessage.Features: the ordered collection of a message's features.
const ClassDescription& AuFeatureCollectionClass();
// Every published class, the creatable one first.
const std::vector<const ClassDescription*>& PublishedClasses();
// Every published enumeration.
const std::vector<EnumDescription>& PublishedEnumerations();

// The type library's name and identifier.
constexpr std::string_view kTypeLibraryName = "KDAutoUpdate";
constexpr std::string_view kTypeLibraryId = "{42605A02-F881-4FD1-AFC1-B323DDBEF0CA}";

} // namespace KDAutoUpdate
