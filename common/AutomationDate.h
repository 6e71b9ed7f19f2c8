#pragma once
// Automation dates: days since 1899-12-30 00:00:00 local time, the time of day as fraction.

#include <optional>
#include <string>

namespace KDAutoUpdate {

struct AutomationDate {
    double value = 0.0;
    friend bool operator==(const AutomationDate&, const AutomationDate&) = default;
};

// Seconds since 1970-01-01 00:00:00 of the local wall clock (no zone) to a date and back.
AutomationDate DateFromLocalSeconds(long long seconds);
long long LocalSecondsFromDate(AutomationDate date);

// "yyyy-mm-dd hh:mm:ss" on the 24-hour clock; the zero date is "1899-12-30 00:00:00".
std::string FormatStoreDate(AutomationDate date);
// Reads "yyyy-mm-dd hh:mm:ss", "yyyy-mm-dd", "yyyy-mm-ddThh:mm:ss" and "dd.mm.yyyy[ hh:mm[:ss]]";
// nullopt for anything else or an impossible date.
std::optional<AutomationDate> ParseDate(const std::string& text);

} // namespace KDAutoUpdate
