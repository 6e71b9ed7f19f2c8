#pragma once
// The rate and progress of one running download, sampled on a timer: a moving average of the
// rate, the floor below which a trickle ends like a stall, and the figures of the progress
// event. Shared by the download controls of every backend, so they report alike.

#include "platform/NetworkLimits.h"

namespace KDAutoUpdate {

class TransferMeter {
public:
    struct Progress {
        long long percent;
        long long rate;      // bytes per second
        long long remaining; // seconds; -1 while unknown
        long long total;     // 0 while unknown
    };

    // A sample at `nowMs` since the transfer began, `received` bytes so far; false when the
    // bytes of the limits' floor window came slower than their floor rate.
    bool Sample(long long nowMs, long long received, const NetworkLimits& limits);
    // The progress figures for `received` of `total` bytes (negative: not announced).
    Progress Report(long long received, long long total) const;
    // The rate of the final report: the smoothed one, or the average over `elapsedMs` when the
    // transfer ended before its first sample.
    long long FinalRate(long long received, long long elapsedMs) const;

private:
    long long m_sampleMs = 0;
    long long m_sampleBytes = 0;
    long long m_floorMs = 0;
    long long m_floorBytes = 0;
    double m_rate = 0; // bytes per second, smoothed; 0 until the first sample
};

} // namespace KDAutoUpdate
