#pragma once
// KDHiResTimer on the virtual clock of a VirtualEventLoop.
// Enabling an enabled timer keeps its phase; disabling and enabling again restarts the interval.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/HiResTimer.h"

namespace KDAutoUpdate {

class VirtualEventLoop;

class VirtualTimer : public KDHiResTimer {
public:
    explicit VirtualTimer(VirtualEventLoop& loop);
    ~VirtualTimer() override;
    VirtualTimer(const VirtualTimer&) = delete;
    VirtualTimer& operator=(const VirtualTimer&) = delete;

    bool AddTimer(const std::string& key, long intervalMs, long flags) override;
    bool EnableTimer(const std::string& key, bool enable) override;
    bool RemoveTimer(const std::string& key) override;
    bool IsTimerEnabled(const std::string& key) const override;
    void SetTimerHandler(std::function<void(const std::string& sKey)> handler) override;

private:
    friend class VirtualEventLoop;
    struct Entry {
        long intervalMs = 0;
        bool enabled = false;
        long long dueMs = 0;
        std::uint64_t sequence = 0; // orders ticks due at the same instant
    };

    // Called by the loop for the tick of `key` due now.
    void Fire(const std::string& key);

    std::weak_ptr<VirtualEventLoop*> m_loop;
    std::map<std::string, Entry> m_entries;
    std::function<void(const std::string&)> m_handler;
};

} // namespace KDAutoUpdate
