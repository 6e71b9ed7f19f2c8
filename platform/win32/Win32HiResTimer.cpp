#include "platform/win32/Win32HiResTimer.h"

#include <algorithm>

#include "platform/win32/Win32EventLoop.h"

namespace KDAutoUpdate {

Win32HiResTimer::~Win32HiResTimer() {
    for (auto& [key, entry] : m_timers)
        if (entry.id)
            m_loop.StopTimer(entry.id);
}

bool Win32HiResTimer::AddTimer(const std::string& key, long intervalMs, long /*flags*/) {
    if (m_timers.count(key))
        return false;
    // USER_TIMER_MINIMUM is 10 ms; the window toolkit raises smaller values itself.
    m_timers[key] = Entry{static_cast<UINT>(std::max(intervalMs, 1L)), 0};
    return true;
}

bool Win32HiResTimer::EnableTimer(const std::string& key, bool enable) {
    const auto it = m_timers.find(key);
    if (it == m_timers.end())
        return false;
    Entry& entry = it->second;
    if (enable && !entry.id) {
        entry.id = m_loop.StartTimer(entry.interval, [this, key] { Tick(key); });
        return entry.id != 0;
    }
    if (!enable && entry.id) {
        m_loop.StopTimer(entry.id);
        entry.id = 0;
    }
    return true;
}

bool Win32HiResTimer::RemoveTimer(const std::string& key) {
    const auto it = m_timers.find(key);
    if (it == m_timers.end())
        return false;
    if (it->second.id)
        m_loop.StopTimer(it->second.id);
    m_timers.erase(it);
    return true;
}

bool Win32HiResTimer::IsTimerEnabled(const std::string& key) const {
    const auto it = m_timers.find(key);
    return it != m_timers.end() && it->second.id != 0;
}

void Win32HiResTimer::SetTimerHandler(std::function<void(const std::string&)> handler) {
    m_handler = std::make_shared<std::function<void(const std::string&)>>(std::move(handler));
}

void Win32HiResTimer::Tick(const std::string& key) {
    // Held here: the handler may release this timer object.
    const auto handler = m_handler;
    if (handler && *handler)
        (*handler)(key);
}

} // namespace KDAutoUpdate
