#include "Variant.h"

#include <cmath>
#include <cstdio>

namespace KDAutoUpdate {

std::optional<std::string> Variant::ToText() const {
    if (Is<std::string>())
        return Get<std::string>();
    if (Is<std::int16_t>())
        return std::to_string(Get<std::int16_t>());
    if (Is<std::int32_t>())
        return std::to_string(Get<std::int32_t>());
    if (Is<bool>())
        return std::string(Get<bool>() ? "True" : "False");
    if (Is<double>()) {
        const double d = Get<double>();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return std::to_string(static_cast<long long>(d));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", d);
        return std::string(buf);
    }
    if (Is<AutomationDate>())
        return FormatStoreDate(Get<AutomationDate>());
    return std::nullopt;
}

} // namespace KDAutoUpdate
