#pragma once
// KDHiResTimer: named interval timers whose ticks arrive on the owner's thread.

#include <functional>
#include <memory>
#include <string>

namespace KDAutoUpdate {

class KDHiResTimer {
public:
    virtual ~KDHiResTimer() = default;
    // Creates a stopped timer; false if the key exists already.
    virtual bool AddTimer(const std::string& key, long intervalMs, long flags) = 0;
    virtual bool EnableTimer(const std::string& key, bool enable) = 0;
    virtual bool RemoveTimer(const std::string& key) = 0;
    virtual bool IsTimerEnabled(const std::string& key) const = 0;
    // The `Timer` event: raised once per interval of each enabled timer, with its key.
    virtual void SetTimerHandler(std::function<void(const std::string& sKey)> handler) = 0;
};

} // namespace KDAutoUpdate
