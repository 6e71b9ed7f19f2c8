#pragma once
// KDHiResTimer on Qt: one precise QTimer per key, ticking on the owner thread's event loop.
// Enabling an enabled timer keeps its phase; disabling and enabling again restarts the interval.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/HiResTimer.h"

class QTimer;

namespace KDAutoUpdate {

class QtHiResTimer : public KDHiResTimer {
public:
    QtHiResTimer();
    ~QtHiResTimer() override;
    QtHiResTimer(const QtHiResTimer&) = delete;
    QtHiResTimer& operator=(const QtHiResTimer&) = delete;

    bool AddTimer(const std::string& key, long intervalMs, long flags) override;
    bool EnableTimer(const std::string& key, bool enable) override;
    bool RemoveTimer(const std::string& key) override;
    bool IsTimerEnabled(const std::string& key) const override;
    void SetTimerHandler(std::function<void(const std::string& sKey)> handler) override;

private:
    void OnTick(const std::string& key);
    // Stops a timer and lets Qt delete it later: it may be the one whose tick is running.
    static void Dispose(QTimer* timer);

    std::map<std::string, QTimer*> m_timers;
    std::function<void(const std::string&)> m_handler;
};

} // namespace KDAutoUpdate
