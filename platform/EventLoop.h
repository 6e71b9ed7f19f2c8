#pragma once
// The agent thread's event loop and clock.

#include <chrono>
#include <functional>
#include <memory>

#include "HiResTimer.h"

namespace KDAutoUpdate {

class IEventLoop {
public:
    virtual ~IEventLoop() = default;
    virtual std::unique_ptr<KDHiResTimer> CreateTimer() = 0;
    // Lets pending events run once (DoEvents).
    virtual void ProcessPendingEvents() = 0;
    // Runs the loop until `done` answers true or `timeoutMs` passes; true when `done` held.
    virtual bool RunUntil(const std::function<bool()>& done, long timeoutMs) = 0;
    // Runs the loop for `ms` milliseconds.
    virtual void RunFor(long ms) = 0;
    // Queues `task` to run on this loop's thread after the current event.
    virtual void Post(std::function<void()> task) = 0;
    // Current local time as seconds since 1970-01-01 00:00:00 local wall clock (no zone),
    // so the virtual clock of the tests can drive dates too.
    virtual long long NowLocalSeconds() = 0;
    // Current time as seconds since 1970-01-01 00:00:00 UTC, for expiry dates that travel
    // between machines.
    virtual long long NowUtcSeconds() {
        using namespace std::chrono;
        return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    }
};

} // namespace KDAutoUpdate
