#pragma once
// Turns a class's C++ accessors and fields into the invokers of its description, so that each
// member is bound once, beside its description.

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "AutomationDescription.h"

namespace KDAutoUpdate::Bindings {

inline Variant ToVariant(bool v) {
    return Variant(v);
}
inline Variant ToVariant(const std::string& v) {
    return Variant(v);
}
inline Variant ToVariant(AutomationDate v) {
    return Variant(v);
}
template <class T>
requires(std::is_integral_v<T> || std::is_enum_v<T>) && (!std::is_same_v<T, bool>)Variant
    ToVariant(T v) {
    return Variant(static_cast<std::int32_t>(v));
}

// The C++ value of an argument already coerced to its described type.
template <class T> std::remove_cvref_t<T> FromVariant(const Variant& v) {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, bool> || std::is_same_v<U, std::string> ||
                  std::is_same_v<U, AutomationDate>)
        return v.Get<U>();
    else
        return static_cast<U>(v.Get<std::int32_t>());
}

// An optional Boolean argument: nothing when the host left it out.
inline std::optional<bool> OptionalBool(const Variant& v) {
    return v.IsEmpty() ? std::nullopt : std::optional<bool>(v.Get<bool>());
}

inline Outcome<AutomationValue> Scalar(Variant v) {
    return AutomationValue{std::move(v), {}};
}

template <class M> struct Traits;
template <class C, class R> struct Traits<R (C::*)() const> { using Class = C; };
template <class C, class R> struct Traits<R (C::*)()> { using Class = C; };
template <class C, class A> struct Traits<void (C::*)(A)> {
    using Class = C;
    using Arg = A;
};
template <class C, class T> struct Traits<T C::*> {
    using Class = C;
    using Field = T;
};

template <auto Get> Outcome<AutomationValue> CallGet(void* self, std::vector<Variant>&) {
    using C = typename Traits<decltype(Get)>::Class;
    return Scalar(ToVariant((static_cast<C*>(self)->*Get)()));
}

template <auto Set> Outcome<AutomationValue> CallSet(void* self, std::vector<Variant>& args) {
    using T = Traits<decltype(Set)>;
    (static_cast<typename T::Class*>(self)->*Set)(FromVariant<typename T::Arg>(args[0]));
    return AutomationValue{};
}

template <auto Field> Outcome<AutomationValue> FieldGet(void* self, std::vector<Variant>&) {
    using C = typename Traits<decltype(Field)>::Class;
    return Scalar(ToVariant(static_cast<C*>(self)->*Field));
}

template <auto Field> Outcome<AutomationValue> FieldSet(void* self, std::vector<Variant>& args) {
    using T = Traits<decltype(Field)>;
    static_cast<typename T::Class*>(self)->*Field = FromVariant<typename T::Field>(args[0]);
    return AutomationValue{};
}

// A read/write property as its two slots: reader, then writer.
inline void Property(std::vector<MemberDescription>& members, std::string_view name, AuType type,
                     MemberInvoker get, MemberInvoker put) {
    members.push_back({name, MemberKind::PropertyGet, type, {}, nullptr, get});
    if (put)
        members.push_back({name, MemberKind::PropertyPut, type, {}, nullptr, put});
}

template <auto Get, auto Set>
void Accessors(std::vector<MemberDescription>& members, std::string_view name, AuType type) {
    Property(members, name, type, &CallGet<Get>, &CallSet<Set>);
}

// A method without arguments or result (its own result, if any, is not published).
template <auto Call> Outcome<AutomationValue> CallVoid(void* self, std::vector<Variant>&) {
    using C = typename Traits<decltype(Call)>::Class;
    (static_cast<C*>(self)->*Call)();
    return AutomationValue{};
}

template <auto Call>
void VoidMethod(std::vector<MemberDescription>& members, std::string_view name) {
    members.push_back({name, MemberKind::Method, AuType::Void, {}, nullptr, &CallVoid<Call>});
}

template <auto Field>
void FieldProperty(std::vector<MemberDescription>& members, std::string_view name, AuType type) {
    Property(members, name, type, &FieldGet<Field>, &FieldSet<Field>);
}

} // namespace KDAutoUpdate::Bindings
