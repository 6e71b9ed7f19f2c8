#pragma once
// The shell's statements on published members, as text over the automation dispatcher:
// property reads and writes, method calls, and the records bound to shell names.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

class ShellMembers {
public:
    explicit ShellMembers(std::ostream& out) : m_out(out) {}

    // `Name`: prints the property; false when the agent has no such property.
    bool ReadProperty(void* agent, const std::string& name);
    // `Name = value`: false when the agent has no such writable property.
    bool WriteProperty(void* agent, const std::string& name, const std::string& value);
    // `Method arg=value ...`, or `set NAME = Method` when bindTo is given; false when the
    // agent has no such method.
    bool CallMethod(void* agent, const std::string& name, const std::vector<std::string>& tokens,
                    const std::string& bindTo);
    // `var.Member`, `var.Field = value`.
    void RecordStatement(const std::string& var, const std::string& rest);
    // `show var`: every field of a bound record.
    void ShowRecord(const std::string& var);
    // The methods of the agent that hand out a record, joined by `separator`.
    static std::string RecordMethods(const char* separator);
    void ClearRecords() { m_records.clear(); }

private:
    void PrintResult(const std::string& prefix, const MemberDescription& member,
                     const AutomationValue& value);

    std::ostream& m_out;
    std::map<std::string, AutomationObject> m_records;
};

} // namespace KDAutoUpdate
