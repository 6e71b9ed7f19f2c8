#pragma once
// KDHiResTimer on window timers of the agent's thread: ticks arrive between other messages,
// never inside a call of the agent.

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "platform/HiResTimer.h"

namespace KDAutoUpdate {

class Win32EventLoop;

class Win32HiResTimer : public KDHiResTimer {
public:
    explicit Win32HiResTimer(Win32EventLoop& loop) : m_loop(loop) {}
    ~Win32HiResTimer() override;
    Win32HiResTimer(const Win32HiResTimer&) = delete;
    Win32HiResTimer& operator=(const Win32HiResTimer&) = delete;

    bool AddTimer(const std::string& key, long intervalMs, long flags) override;
    bool EnableTimer(const std::string& key, bool enable) override;
    bool RemoveTimer(const std::string& key) override;
    bool IsTimerEnabled(const std::string& key) const override;
    void SetTimerHandler(std::function<void(const std::string& sKey)> handler) override;

private:
    struct Entry {
        UINT interval = 0;
        UINT_PTR id = 0; // running window timer, 0 when stopped
    };
    void Tick(const std::string& key);

    Win32EventLoop& m_loop;
    std::map<std::string, Entry> m_timers;
    std::shared_ptr<std::function<void(const std::string&)>> m_handler;
};

} // namespace KDAutoUpdate
