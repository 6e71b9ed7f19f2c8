#include "platform/portable/TransferMeter.h"

#include <algorithm>
#include <cmath>

namespace KDAutoUpdate {

namespace {

// Weight of the newest rate sample in the moving average.
constexpr double kRateSmoothing = 0.3;

} // namespace

bool TransferMeter::Sample(long long nowMs, long long received, const NetworkLimits& limits) {
    const long long elapsed = nowMs - m_sampleMs;
    if (elapsed <= 0)
        return true;
    const double sample =
        static_cast<double>(received - m_sampleBytes) * 1000.0 / static_cast<double>(elapsed);
    m_rate = m_sampleMs == 0 ? sample : kRateSmoothing * sample + (1 - kRateSmoothing) * m_rate;
    m_sampleMs = nowMs;
    m_sampleBytes = received;
    // A trickle keeps the stall timeout away but is as good as a stall.
    if (nowMs - m_floorMs >= limits.floorWindowMs) {
        if ((received - m_floorBytes) * 1000 < limits.floorBytesPerSecond * (nowMs - m_floorMs))
            return false;
        m_floorMs = nowMs;
        m_floorBytes = received;
    }
    return true;
}

TransferMeter::Progress TransferMeter::Report(long long received, long long total) const {
    total = std::max(0LL, total);
    const long long percent = total > 0 ? std::min(100LL, received * 100 / total) : 0;
    const long long remaining =
        total > 0 && m_rate >= 1
            ? static_cast<long long>(
                  std::ceil(static_cast<double>(std::max(0LL, total - received)) / m_rate))
            : -1;
    return {percent, std::llround(m_rate), remaining, total};
}

long long TransferMeter::FinalRate(long long received, long long elapsedMs) const {
    return m_rate >= 1 ? std::llround(m_rate) : received * 1000 / std::max(1LL, elapsedMs);
}

} // namespace KDAutoUpdate
