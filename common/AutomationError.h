#pragma once
// Errors the agent reports to its host, and the outcome of a host call that may report one.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace KDAutoUpdate {

struct AutomationError {
    long number = 0;
    std::string source;
    std::string description;
};

// Base of object-defined automation errors (0x80040000).
constexpr long kObjectErrorBase = -2147221504L;
constexpr const char* kBusyDescription =
    "Another 'AutoUpdate' already in progress. Process aborted.";

// A host call's result, or the error it raises to the host. A caller that drops one would drop
// the error with it.
template <class T = std::monostate> class [[nodiscard]] Outcome {
public:
    Outcome(T value) : m_value(std::move(value)) {}
    Outcome(AutomationError error) : m_error(std::move(error)) {}
    Outcome() requires std::is_same_v<T, std::monostate> : m_value(std::monostate{}) {}

    bool ok() const { return !m_error.has_value(); }
    const T& value() const { return *m_value; }
    const AutomationError& error() const { return *m_error; }

private:
    std::optional<T> m_value;
    std::optional<AutomationError> m_error;
};

} // namespace KDAutoUpdate
