#include "ShellValues.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>

namespace KDAutoUpdate {

std::optional<bool> ParseShellBool(const std::string& text) {
    const std::string t = TrimBlanks(text);
    if (SameName(t, "True") || t == "-1" || t == "1")
        return true;
    if (SameName(t, "False") || t == "0")
        return false;
    return std::nullopt;
}

std::optional<long> ParseShellLong(const std::string& text) {
    const std::string t = TrimBlanks(text);
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<long>(v);
}

std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string current;
    bool inQuotes = false;
    bool have = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t' || c == '\r') && !inQuotes) {
            if (have)
                tokens.push_back(current);
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have)
        tokens.push_back(current);
    return tokens;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<ShellAssignment> SplitAssignment(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    std::string target = TrimBlanks(line.substr(0, eq));
    if (target.empty() || target.find(' ') != std::string::npos)
        return std::nullopt;
    std::string value = line.substr(eq + 1);
    if (!value.empty() && value[0] == ' ')
        value.erase(0, 1);
    return ShellAssignment{target, value};
}

std::optional<Variant> ParseShellValue(AuType type, const std::string& text) {
    switch (type) {
    case AuType::Boolean:
        if (const auto b = ParseShellBool(text))
            return Variant(*b);
        return std::nullopt;
    case AuType::Long:
        if (const auto l = ParseShellLong(text))
            return Variant(static_cast<std::int32_t>(*l));
        return std::nullopt;
    case AuType::Date: {
        const std::string t = TrimBlanks(text);
        if (t.empty())
            return Variant(AutomationDate{});
        if (const auto d = ParseDate(t))
            return Variant(*d);
        return std::nullopt;
    }
    case AuType::String:
        return Variant(text);
    default:
        return std::nullopt;
    }
}

std::string FormatShellValue(AuType type, const Variant& value) {
    if (type == AuType::Boolean && value.Is<bool>())
        return ShellBool(value.Get<bool>());
    return value.ToText().value_or(std::string());
}

void PrintSyntaxError(std::ostream& out, const std::string& what) {
    out << "Syntax error: " << what << '\n';
}

void PrintShellError(std::ostream& out, const AutomationError& error) {
    out << "Error " << error.number << ' ' << error.source << ": " << error.description << '\n';
}

} // namespace KDAutoUpdate
