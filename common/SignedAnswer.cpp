#include "SignedAnswer.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <string_view>

namespace KDAutoUpdate {

namespace {

constexpr std::string_view kIslandOptionalField = "allowDowngrade";

void Field(std::string& out, const XmlElementPtr& element, const char* name) {
    const std::string value = element ? element->getAttribute(name).value_or("") : std::string();
    out += name;
    out += '=';
    out += std::to_string(value.size());
    out += ':';
    out += value;
    out += '\n';
}

} // namespace

std::string CheckAnswerContent(const XmlElementPtr& root) {
    std::string out = "check-answer 1\n";
    for (const char* name : {"expires", "count", "msgs"})
        Field(out, root, name);
    return out;
}

std::string IslandContentToSign(const XmlElementPtr& root) {
    std::string out = "data-island 1\n";
    Field(out, root, "expires");
    if (!root)
        return out;
    for (const XmlElementPtr& message : root->selectNodes("Message")) {
        out += "Message\n";
        for (const char* name : kIslandMessageFields)
            if (name != kIslandOptionalField || message->getAttribute(name))
                Field(out, message, name);
        for (const XmlElementPtr& feature : message->selectNodes("Features/Feature")) {
            out += "Feature\n";
            for (const char* name : kIslandFeatureFields)
                Field(out, feature, name);
        }
    }
    return out;
}

std::optional<long long> ParseUtcTimestamp(const std::string& text) {
    std::tm parts{};
    std::istringstream in(text);
    in >> std::get_time(&parts, "%Y-%m-%dT%H:%M:%S");
    if (in.fail() || in.get() != 'Z' || in.peek() != std::char_traits<char>::eof())
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year(parts.tm_year + 1900), month(unsigned(parts.tm_mon + 1)),
                              day(unsigned(parts.tm_mday))};
    if (!date.ok())
        return std::nullopt;
    const auto moment =
        sys_days(date) + hours(parts.tm_hour) + minutes(parts.tm_min) + seconds(parts.tm_sec);
    return duration_cast<seconds>(moment.time_since_epoch()).count();
}

} // namespace KDAutoUpdate
