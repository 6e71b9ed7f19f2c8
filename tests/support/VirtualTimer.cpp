#include "tests/support/VirtualTimer.h"

#include <algorithm>

#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {

VirtualTimer::VirtualTimer(VirtualEventLoop& loop) : m_loop(loop.m_self) {
    loop.Register(this);
}

VirtualTimer::~VirtualTimer() {
    if (auto loop = m_loop.lock())
        (*loop)->Unregister(this);
}

bool VirtualTimer::AddTimer(const std::string& key, long intervalMs, long /*flags*/) {
    if (m_entries.count(key) != 0)
        return false;
    // A zero interval would tick forever at one instant.
    m_entries[key].intervalMs = std::max(1L, intervalMs);
    return true;
}

bool VirtualTimer::EnableTimer(const std::string& key, bool enable) {
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return false;
    Entry& entry = it->second;
    if (enable && !entry.enabled) {
        auto loop = m_loop.lock();
        if (!loop)
            return false;
        entry.enabled = true;
        entry.dueMs = (*loop)->NowMs() + entry.intervalMs;
        entry.sequence = (*loop)->NextSequence();
    } else if (!enable) {
        entry.enabled = false;
    }
    return true;
}

bool VirtualTimer::RemoveTimer(const std::string& key) {
    return m_entries.erase(key) != 0;
}

bool VirtualTimer::IsTimerEnabled(const std::string& key) const {
    auto it = m_entries.find(key);
    return it != m_entries.end() && it->second.enabled;
}

void VirtualTimer::SetTimerHandler(std::function<void(const std::string&)> handler) {
    m_handler = std::move(handler);
}

void VirtualTimer::Fire(const std::string& key) {
    auto it = m_entries.find(key);
    auto loop = m_loop.lock();
    if (it == m_entries.end() || !loop)
        return;
    it->second.dueMs += it->second.intervalMs;
    // A copy: the handler may remove the key or destroy this object. `key` belongs to the loop.
    const std::function<void(const std::string&)> handler = m_handler;
    if (handler)
        handler(key);
}

} // namespace KDAutoUpdate
