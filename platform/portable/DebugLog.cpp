#include "platform/portable/DebugLog.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

namespace KDAutoUpdate {

namespace {
const char* Target() {
    const char* target = std::getenv("KDAUTOUPDATE_DEBUG_LOG");
    return target && *target ? target : nullptr;
}
} // namespace

bool DebugLogEnabled() {
    return Target() != nullptr;
}

void DebugLog(const std::string& line) {
    const char* target = Target();
    if (!target)
        return;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char stamp[32] = {};
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    if (std::string(target) == "-") {
        std::cerr << stamp << ' ' << line << '\n';
        return;
    }
    std::ofstream(target, std::ios::app) << stamp << ' ' << line << '\n';
}

} // namespace KDAutoUpdate
