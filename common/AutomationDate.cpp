#include "AutomationDate.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace KDAutoUpdate {
namespace {

constexpr long long kSecondsPerDay = 86400;
// Days from 1899-12-30 to 1970-01-01.
constexpr long long kEpochOffsetDays = 25569;

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2 ? 1 : 0;
}

bool ReadNumber(std::string_view s, size_t& pos, size_t digits, int& out) {
    if (pos + digits > s.size())
        return false;
    const char* first = s.data() + pos;
    const auto [ptr, ec] = std::from_chars(first, first + digits, out);
    if (ec != std::errc() || ptr != first + digits)
        return false;
    pos += digits;
    return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c)
        return false;
    ++pos;
    return true;
}

bool ValidDate(int y, int m, int d) {
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + ((m == 2 && leap) ? 1 : 0);
}

std::optional<AutomationDate> Make(int y, int mo, int d, int h, int mi, int s) {
    if (!ValidDate(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    const long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    return DateFromLocalSeconds(days * kSecondsPerDay + h * 3600LL + mi * 60LL + s);
}

} // namespace

AutomationDate DateFromLocalSeconds(long long seconds) {
    // An automation date before the zero date keeps its time as a positive fraction counted
    // away from zero (-1.25 is 1899-12-29 06:00).
    const long long days = seconds >= 0 ? seconds / kSecondsPerDay
                                        : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
    const long long rest = seconds - days * kSecondsPerDay;
    const long long autoDays = days + kEpochOffsetDays;
    const double fraction = static_cast<double>(rest) / kSecondsPerDay;
    return {autoDays >= 0 ? static_cast<double>(autoDays) + fraction
                          : static_cast<double>(autoDays) - fraction};
}

long long LocalSecondsFromDate(AutomationDate date) {
    const double whole = std::trunc(date.value);
    const double fraction = std::fabs(date.value - whole);
    const auto days = static_cast<long long>(whole);
    const auto secs = static_cast<long long>(std::llround(fraction * kSecondsPerDay));
    return (days - kEpochOffsetDays) * kSecondsPerDay + secs;
}

std::string FormatStoreDate(AutomationDate date) {
    if (!std::isfinite(date.value))
        date.value = 0;
    const long long seconds = LocalSecondsFromDate(date);
    long long days = seconds / kSecondsPerDay;
    long long rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    long long y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", y, m, d, rest / 3600,
                  (rest / 60) % 60, rest % 60);
    return buf;
}

std::optional<AutomationDate> ParseDate(const std::string& text) {
    const std::string_view s = text;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    size_t pos = 0;
    if (ReadNumber(s, pos, 4, y) && Expect(s, pos, '-') && ReadNumber(s, pos, 2, mo) &&
        Expect(s, pos, '-') && ReadNumber(s, pos, 2, d)) {
        if (pos == s.size())
            return Make(y, mo, d, 0, 0, 0);
        if ((s[pos] == ' ' || s[pos] == 'T') && (++pos, ReadNumber(s, pos, 2, h)) &&
            Expect(s, pos, ':') && ReadNumber(s, pos, 2, mi) && Expect(s, pos, ':') &&
            ReadNumber(s, pos, 2, sec) && pos == s.size())
            return Make(y, mo, d, h, mi, sec);
        return std::nullopt;
    }
    pos = 0;
    if (ReadNumber(s, pos, 2, d) && Expect(s, pos, '.') && ReadNumber(s, pos, 2, mo) &&
        Expect(s, pos, '.') && ReadNumber(s, pos, 4, y)) {
        if (pos == s.size())
            return Make(y, mo, d, 0, 0, 0);
        if (Expect(s, pos, ' ') && ReadNumber(s, pos, 2, h) && Expect(s, pos, ':') &&
            ReadNumber(s, pos, 2, mi)) {
            if (pos == s.size())
                return Make(y, mo, d, h, mi, 0);
            if (Expect(s, pos, ':') && ReadNumber(s, pos, 2, sec) && pos == s.size())
                return Make(y, mo, d, h, mi, sec);
        }
    }
    return std::nullopt;
}

} // namespace KDAutoUpdate
