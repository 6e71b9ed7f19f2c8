#pragma once
// A loosely typed automation value: what XML attribute reads, HTML properties and host
// arguments hand to the conversion helpers.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "AutomationDate.h"

namespace KDAutoUpdate {

class Variant {
public:
    struct Empty {};
    struct Null {};
    // An object reference; it has no text form.
    struct Object {
        const void* address = nullptr;
    };

    Variant() = default;
    static Variant MakeNull() { return Variant(Null{}); }
    static Variant MakeObject(const void* address) { return Variant(Object{address}); }
    // An XML attribute read: its text, or null when absent.
    static Variant FromAttribute(const std::optional<std::string>& text) {
        return text ? Variant(*text) : MakeNull();
    }

    Variant(std::int16_t v) : m_value(v) {}
    Variant(std::int32_t v) : m_value(v) {}
    Variant(double v) : m_value(v) {}
    Variant(bool v) : m_value(v) {}
    Variant(std::string v) : m_value(std::move(v)) {}
    Variant(const char* v) : m_value(std::string(v)) {}
    Variant(AutomationDate v) : m_value(v) {}

    bool IsEmpty() const { return std::holds_alternative<Empty>(m_value); }
    bool IsNull() const { return std::holds_alternative<Null>(m_value); }
    template <class T> bool Is() const { return std::holds_alternative<T>(m_value); }
    template <class T> const T& Get() const { return std::get<T>(m_value); }

    // The value as text the way the platform prints it: numbers in decimal, Booleans as
    // "True"/"False", dates as "yyyy-mm-dd hh:mm:ss"; nullopt for empty, null and objects.
    std::optional<std::string> ToText() const;

private:
    explicit Variant(Null n) : m_value(n) {}
    explicit Variant(Object o) : m_value(o) {}

    std::variant<Empty, Null, std::int16_t, std::int32_t, double, bool, std::string, AutomationDate,
                 Object>
        m_value;
};

} // namespace KDAutoUpdate
