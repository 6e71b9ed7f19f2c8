#pragma once
// Small helpers the benchmarks share: medians of rounds, a monotonic clock, and memory figures
// read from /proc.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace KDAutoUpdate::Bench {

inline double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The median of the rounds (the mean of the middle two for an even count); 0 without rounds.
inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// A "Name:   1234 kB" line of a /proc file (status, smaps_rollup), in KiB; 0 when missing.
inline long ProcKiB(const std::string& file, const char* name) {
    std::ifstream in(file);
    const std::size_t length = std::strlen(name);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
    return 0;
}

} // namespace KDAutoUpdate::Bench
