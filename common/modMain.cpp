#include "modMain.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "Unicode.h"

namespace KDAutoUpdate {
namespace {

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Parses a number as the user's locale writes it: an optional sign, digits and one decimal
// separator ("," or "."). Group separators are not accepted.
std::optional<double> ParseNumber(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty())
        return std::nullopt;
    size_t i = 0;
    if (t[0] == '+' || t[0] == '-')
        i = 1;
    bool digits = false;
    bool separator = false;
    for (size_t k = i; k < t.size(); ++k) {
        if (t[k] >= '0' && t[k] <= '9') {
            digits = true;
        } else if ((t[k] == ',' || t[k] == '.') && !separator) {
            separator = true;
            t[k] = '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (errno != 0 || end != t.c_str() + t.size())
        return std::nullopt;
    return d;
}

// The Boolean words in any letter case. Compared letter by letter in ASCII: no other letter
// lower-cases into one of these words, so this is the Unicode-aware comparison without a copy.
bool IsWord(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != lowerWord[i])
            return false;
    }
    return true;
}

bool TextToBool(std::string_view text, bool defaultValue) {
    if (text == "1" || IsWord(text, "true") || IsWord(text, "yes") || IsWord(text, "wahr"))
        return true;
    if (text == "0" || IsWord(text, "false") || IsWord(text, "no") || IsWord(text, "falsch"))
        return false;
    return defaultValue;
}

} // namespace

std::string NormalizeGuid(const std::string& text) {
    if (IsBlank(text))
        return {};
    std::string result = text;
    if (result.front() != '{')
        result.insert(result.begin(), '{');
    if (result.back() != '}')
        result.push_back('}');
    return result;
}

std::string VarToStr(const Variant& value, const std::string& defaultValue) {
    if (value.IsEmpty() || value.IsNull())
        return defaultValue;
    const auto text = value.ToText();
    if (!text || text->empty())
        return defaultValue;
    return *text;
}

bool VarToBool(const Variant& value, bool defaultValue) {
    if (value.Is<std::int16_t>())
        return value.Get<std::int16_t>() != 0;
    if (value.Is<bool>())
        return value.Get<bool>();
    const auto text = value.ToText();
    if (!text || value.IsEmpty())
        return defaultValue;
    return TextToBool(*text, defaultValue);
}

bool VarToBool(const std::optional<std::string_view>& attribute, bool defaultValue) {
    return attribute ? TextToBool(*attribute, defaultValue) : defaultValue;
}

long VarToLong(const Variant& value, long defaultValue) {
    if (value.IsEmpty())
        return 0;
    double d = 0;
    if (value.Is<std::int16_t>())
        return value.Get<std::int16_t>();
    if (value.Is<std::int32_t>())
        return value.Get<std::int32_t>();
    if (value.Is<bool>())
        return value.Get<bool>() ? -1 : 0;
    if (value.Is<double>()) {
        d = value.Get<double>();
    } else if (value.Is<std::string>()) {
        const auto parsed = ParseNumber(value.Get<std::string>());
        if (!parsed)
            return defaultValue;
        d = *parsed;
    } else if (value.Is<AutomationDate>()) {
        d = value.Get<AutomationDate>().value;
    } else {
        return defaultValue;
    }
    if (!std::isfinite(d))
        return defaultValue;
    const double rounded = std::nearbyint(d); // the default rounding mode is half to even
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return defaultValue;
    return static_cast<long>(rounded);
}

void CenterForm(IFormView& form, const IFormView* owner, const TwipRect& screen) {
    const TwipRect area = owner ? owner->Bounds() : screen;
    TwipRect r = form.Bounds();
    r.left = area.left + (area.width - r.width) / 2;
    r.top = area.top + (area.height - r.height) / 2;
    form.Move(r);
}

long GetSelectedOption(const IFormView& form, const FormDef& def, const std::string& group) {
    const ControlDef* lowest = nullptr;
    for (const auto& c : def.controls)
        if (c.name == group && c.index >= 0 && (!lowest || c.index < lowest->index))
            lowest = &c;
    if (!lowest || lowest->kind != ControlKind::OptionButton)
        return -1;
    long result = -1;
    for (const auto& c : def.controls) {
        if (c.name != group || c.index < 0)
            continue;
        if (form.Value(group, c.index) != 0 && (result < 0 || c.index < result))
            result = c.index;
    }
    return result;
}

IAgent* ObjectFromPtr(const AgentPtr& ptr) {
    return ptr.Resolve();
}

} // namespace KDAutoUpdate
