#pragma once
// An event loop whose clock the test moves by hand: timers tick and posted tasks run only when
// the loop is run, so timeouts take microseconds and every run is the same.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/EventLoop.h"

namespace KDAutoUpdate {

class VirtualTimer;

// Local wall-clock seconds (1970-01-01 00:00:00 taken as zero) of a calendar date and time.
constexpr long long CivilLocalSeconds(int year, int month, int day, int hour = 0, int minute = 0,
                                      int second = 0) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}
class VirtualEventLoop : public IEventLoop {
public:
    // Wall clock at virtual time zero.
    static constexpr long long kDefaultStartLocalSeconds =
        CivilLocalSeconds(2024, 5, 17, 14, 3, 59);

    VirtualEventLoop();
    ~VirtualEventLoop() override;
    VirtualEventLoop(const VirtualEventLoop&) = delete;
    VirtualEventLoop& operator=(const VirtualEventLoop&) = delete;

    std::unique_ptr<KDHiResTimer> CreateTimer() override;
    // Runs the posted tasks (including those they post) and timers already due; no time passes.
    void ProcessPendingEvents() override;
    // Runs posted tasks and moves time to each next due timer until `done` holds or `timeoutMs`
    // of virtual time passed. Answers whether `done` held.
    bool RunUntil(const std::function<bool()>& done, long timeoutMs) override;
    void RunFor(long ms) override { Advance(ms); }
    void Post(std::function<void()> task) override;
    long long NowLocalSeconds() override;
    // The virtual clock has no zone: its wall clock serves as UTC as well.
    long long NowUtcSeconds() override { return NowLocalSeconds(); }

    // Moves virtual time forward by `ms`, firing every due timer tick in time order and running
    // posted tasks as they come.
    void Advance(long long ms);
    // Runs `task` once `ms` of virtual time passed (for scripted delays of fakes).
    void PostAfter(long long ms, std::function<void()> task);

    long long NowMs() const { return m_nowMs; }
    // Sets the wall clock as it reads now; it advances with virtual time from here.
    void SetNowLocalSeconds(long long localSeconds);
    // Enabled timer keys over all live timers.
    int EnabledTimerCount() const;

private:
    friend class VirtualTimer;
    struct DelayedTask {
        long long dueMs;
        std::uint64_t sequence;
        std::function<void()> task;
    };

    void Register(VirtualTimer* timer);
    void Unregister(VirtualTimer* timer);
    std::uint64_t NextSequence() { return ++m_sequence; }
    // Runs queued tasks; stops early when `done` holds (if given). Answers whether it did.
    bool RunPosted(const std::function<bool()>* done = nullptr);
    // Fires the earliest timer tick or delayed task due no later than `limitMs`.
    bool FireNextDue(long long limitMs);

    long long m_nowMs = 0;
    long long m_wallStartMs = kDefaultStartLocalSeconds * 1000;
    std::uint64_t m_sequence = 0;
    std::deque<std::function<void()>> m_tasks;
    std::vector<DelayedTask> m_delayed;
    std::vector<VirtualTimer*> m_timers;
    // Timers hold a weak reference so one that outlives the loop does not touch it.
    std::shared_ptr<VirtualEventLoop*> m_self;
};

} // namespace KDAutoUpdate
