#include "AutomationDispatcher.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace KDAutoUpdate {

namespace {

bool SameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

AutomationError RuntimeError(const MemberDescription& member, long number, const char* text) {
    return AutomationError{number, std::string(member.name), text};
}

std::optional<std::int32_t> ToLong(const Variant& v) {
    if (v.Is<std::int32_t>())
        return v.Get<std::int32_t>();
    if (v.Is<std::int16_t>())
        return v.Get<std::int16_t>();
    if (v.Is<bool>())
        return v.Get<bool>() ? -1 : 0;
    if (v.Is<double>()) {
        const double d = std::nearbyint(v.Get<double>()); // rounds half to even
        if (d >= std::numeric_limits<std::int32_t>::min() &&
            d <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(d);
    }
    return std::nullopt;
}

} // namespace

const MemberDescription* FindMember(const ClassDescription& type, std::string_view name,
                                    MemberKind kind) {
    for (const auto& m : type.members)
        if (m.kind == kind && SameAsciiName(m.name, name))
            return &m;
    return nullptr;
}

std::optional<Variant> CoerceTo(AuType type, const Variant& value) {
    switch (type) {
    case AuType::Boolean:
        if (value.Is<bool>())
            return value;
        if (const auto l = ToLong(value))
            return Variant(*l != 0);
        return std::nullopt;
    case AuType::Long:
        if (const auto l = ToLong(value))
            return Variant(*l);
        return std::nullopt;
    case AuType::String:
        if (value.Is<std::string>())
            return value;
        if (const auto text = value.ToText())
            return Variant(*text);
        return std::nullopt;
    case AuType::Date:
        if (value.Is<AutomationDate>())
            return value;
        if (value.Is<double>())
            return Variant(AutomationDate{value.Get<double>()});
        return std::nullopt;
    case AuType::Object:
        if (value.Is<Variant::Object>())
            return value;
        return std::nullopt;
    case AuType::Void:
        break;
    }
    return std::nullopt;
}

Outcome<AutomationValue> Invoke(void* self, const MemberDescription& member,
                                std::vector<Variant> args) {
    if (member.kind == MemberKind::PropertyPut) {
        if (args.size() != 1)
            return RuntimeError(member, kErrWrongArgumentCount,
                                "Wrong number of arguments or invalid property assignment");
        auto value = CoerceTo(member.type, args[0]);
        if (!value)
            return RuntimeError(member, kErrTypeMismatch, "Type mismatch");
        args[0] = std::move(*value);
        return member.invoke(self, args);
    }
    const auto& described = member.arguments;
    if (args.size() > described.size())
        return RuntimeError(member, kErrWrongArgumentCount,
                            "Wrong number of arguments or invalid property assignment");
    args.resize(described.size());
    for (size_t i = 0; i < described.size(); ++i) {
        const ArgumentDescription& a = described[i];
        if (args[i].IsEmpty()) {
            if (!a.optional)
                return RuntimeError(member, kErrArgumentNotOptional, "Argument not optional");
            if (a.defaultValue)
                args[i] = *a.defaultValue;
            continue;
        }
        auto value = CoerceTo(a.type, args[i]);
        if (!value)
            return RuntimeError(member, kErrTypeMismatch, "Type mismatch");
        args[i] = std::move(*value);
    }
    return member.invoke(self, args);
}

Outcome<AutomationValue> Invoke(const ClassDescription& type, void* self, std::string_view name,
                                MemberKind kind, std::vector<Variant> args) {
    const MemberDescription* member = FindMember(type, name, kind);
    if (!member)
        return AutomationError{kErrMemberNotFound, std::string(type.name),
                               "Object doesn't support this property or method"};
    return Invoke(self, *member, std::move(args));
}

std::optional<std::vector<Variant>> ArgumentsByName(const MemberDescription& member,
                                                    const std::map<std::string, Variant>& named,
                                                    std::string* unknown) {
    std::vector<Variant> args(member.arguments.size());
    for (const auto& [name, value] : named) {
        size_t i = 0;
        while (i < member.arguments.size() && !SameAsciiName(member.arguments[i].name, name))
            ++i;
        if (i == member.arguments.size()) {
            if (unknown)
                *unknown = name;
            return std::nullopt;
        }
        if (args[i].IsEmpty()) // the first of names that differ only in case wins
            args[i] = value;
    }
    return args;
}

} // namespace KDAutoUpdate
