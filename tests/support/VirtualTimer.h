#pragma once
// KDHiResTimer on the virtual clock of a VirtualEventLoop.
// Enabling an enabled timer keeps its phase; disabling and enabling again restarts the interval.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/HiResTimer.h"
#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {

class VirtualTimer : public KDHiResTimer {
public:
    explicit VirtualTimer(VirtualEventLoop& loop) : m_loop(loop.m_self) { loop.Register(this); }
    ~VirtualTimer() override {
        if (auto loop = m_loop.lock())
            (*loop)->Unregister(this);
    }
    VirtualTimer(const VirtualTimer&) = delete;
    VirtualTimer& operator=(const VirtualTimer&) = delete;

    bool AddTimer(const std::string& key, long intervalMs, long) override {
        if (m_entries.count(key) != 0)
            return false;
        // A zero interval would tick forever at one instant.
        m_entries[key].intervalMs = std::max(1L, intervalMs);
        return true;
    }
    bool EnableTimer(const std::string& key, bool enable) override {
        const auto it = m_entries.find(key);
        if (it == m_entries.end())
            return false;
        Entry& entry = it->second;
        if (enable && !entry.enabled) {
            const auto loop = m_loop.lock();
            if (!loop)
                return false;
            entry.dueMs = (*loop)->NowMs() + entry.intervalMs;
            entry.sequence = (*loop)->NextSequence();
        }
        entry.enabled = enable;
        return true;
    }
    bool RemoveTimer(const std::string& key) override { return m_entries.erase(key) != 0; }
    bool IsTimerEnabled(const std::string& key) const override {
        const auto it = m_entries.find(key);
        return it != m_entries.end() && it->second.enabled;
    }
    void SetTimerHandler(std::function<void(const std::string& sKey)> handler) override {
        m_handler = std::move(handler);
    }

private:
    friend class VirtualEventLoop;
    struct Entry {
        long intervalMs = 0;
        bool enabled = false;
        long long dueMs = 0;
        std::uint64_t sequence = 0; // orders ticks due at the same instant
    };

    // Called by the loop for the tick of `key` due now.
    void Fire(const std::string& key) {
        const auto it = m_entries.find(key);
        if (it == m_entries.end() || !m_loop.lock())
            return;
        it->second.dueMs += it->second.intervalMs;
        // A copy: the handler may remove the key or destroy this object. `key` is the loop's.
        const std::function<void(const std::string&)> handler = m_handler;
        if (handler)
            handler(key);
    }

    std::weak_ptr<VirtualEventLoop*> m_loop;
    std::map<std::string, Entry> m_entries;
    std::function<void(const std::string&)> m_handler;
};

} // namespace KDAutoUpdate
