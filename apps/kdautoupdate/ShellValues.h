#pragma once
// Reading and printing the shell's values: Booleans True/False, Longs, dates, texts.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

std::optional<bool> ParseShellBool(const std::string& text);
std::optional<long> ParseShellLong(const std::string& text);
inline const char* ShellBool(bool value) {
    return value ? "True" : "False";
}
std::string TrimBlanks(const std::string& text);
// Splits at runs of blanks; a token in double quotes may hold blanks (quotes removed).
std::vector<std::string> SplitTokens(const std::string& text);
// Case-insensitive ASCII comparison, as automation names compare.
bool SameName(const std::string& a, const std::string& b);

// A statement's leading name and the rest after "= ", if it is an assignment.
struct ShellAssignment {
    std::string target;
    std::string value;
};
std::optional<ShellAssignment> SplitAssignment(const std::string& line);

// A value typed as the shell reads it for a member of that type (texts as they are, Booleans
// True/False/-1/1/0, Longs in decimal, dates in the store's form); nothing when it does not read.
std::optional<Variant> ParseShellValue(AuType type, const std::string& text);
// A value as the shell prints it.
std::string FormatShellValue(AuType type, const Variant& value);

void PrintSyntaxError(std::ostream& out, const std::string& what);
// `Error <number> <source>: <description>`.
void PrintShellError(std::ostream& out, const AutomationError& error);

} // namespace KDAutoUpdate
