#include "tests/support/VirtualEventLoop.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "tests/support/VirtualTimer.h"

namespace KDAutoUpdate {

namespace {
// A task that keeps posting itself must not hang a test forever.
constexpr int kMaxTasksPerRun = 1000000;
// "Wait forever" becomes about thirty years of virtual time, so the clock cannot overflow.
constexpr long long kMaxRunMs = 1000LL * 3600 * 24 * 365 * 30;

long long FloorDiv(long long value, long long divisor) {
    return value / divisor - ((value % divisor != 0 && (value < 0) != (divisor < 0)) ? 1 : 0);
}
} // namespace

VirtualEventLoop::VirtualEventLoop() : m_self(std::make_shared<VirtualEventLoop*>(this)) {}

VirtualEventLoop::~VirtualEventLoop() {
    m_self.reset();
}

std::unique_ptr<KDHiResTimer> VirtualEventLoop::CreateTimer() {
    return std::make_unique<VirtualTimer>(*this);
}

void VirtualEventLoop::ProcessPendingEvents() {
    RunPosted();
    while (FireNextDue(m_nowMs))
        RunPosted();
}

bool VirtualEventLoop::RunUntil(const std::function<bool()>& done, long timeoutMs) {
    const long long deadline = m_nowMs + std::clamp<long long>(timeoutMs, 0, kMaxRunMs);
    for (;;) {
        if (RunPosted(&done)) // it asks `done` once more after the last task
            return true;
        if (!FireNextDue(deadline)) {
            m_nowMs = std::max(m_nowMs, deadline);
            RunPosted(&done);
            return done();
        }
    }
}

void VirtualEventLoop::Post(std::function<void()> task) {
    if (task)
        m_tasks.push_back(std::move(task));
}

long long VirtualEventLoop::NowLocalSeconds() {
    return FloorDiv(m_wallStartMs + m_nowMs, 1000);
}

void VirtualEventLoop::SetNowLocalSeconds(long long localSeconds) {
    m_wallStartMs = localSeconds * 1000 - m_nowMs;
}

void VirtualEventLoop::Advance(long long ms) {
    const long long target = m_nowMs + std::clamp<long long>(ms, 0, kMaxRunMs);
    RunPosted();
    while (FireNextDue(target))
        RunPosted();
    m_nowMs = std::max(m_nowMs, target);
    RunPosted();
}

void VirtualEventLoop::PostAfter(long long ms, std::function<void()> task) {
    if (task)
        m_delayed.push_back(
            {m_nowMs + std::clamp<long long>(ms, 0, kMaxRunMs), NextSequence(), std::move(task)});
}

int VirtualEventLoop::EnabledTimerCount() const {
    int count = 0;
    for (const VirtualTimer* timer : m_timers)
        for (const auto& [key, entry] : timer->m_entries)
            if (entry.enabled)
                ++count;
    return count;
}

void VirtualEventLoop::Register(VirtualTimer* timer) {
    m_timers.push_back(timer);
}

void VirtualEventLoop::Unregister(VirtualTimer* timer) {
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), timer), m_timers.end());
}

bool VirtualEventLoop::RunPosted(const std::function<bool()>* done) {
    for (int i = 0; i < kMaxTasksPerRun && !m_tasks.empty(); ++i) {
        if (done && (*done)())
            return true;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        task();
    }
    return done && (*done)();
}

bool VirtualEventLoop::FireNextDue(long long limitMs) {
    // The earliest due timer tick or delayed task; ties go to what was scheduled first.
    struct Next {
        long long dueMs;
        std::uint64_t sequence;
        VirtualTimer* timer;
        std::string key;
        std::size_t delayed;
    };
    std::optional<Next> next;
    const auto consider = [&next](Next candidate) {
        if (!next ||
            std::tie(candidate.dueMs, candidate.sequence) < std::tie(next->dueMs, next->sequence))
            next = std::move(candidate);
    };
    for (std::size_t i = 0; i < m_delayed.size(); ++i)
        consider({m_delayed[i].dueMs, m_delayed[i].sequence, nullptr, {}, i});
    for (VirtualTimer* timer : m_timers)
        for (const auto& [key, entry] : timer->m_entries)
            if (entry.enabled)
                consider({entry.dueMs, entry.sequence, timer, key, 0});
    if (!next || next->dueMs > limitMs)
        return false;

    m_nowMs = std::max(m_nowMs, next->dueMs);
    if (next->timer) {
        // The handler may remove the timer or destroy it; nothing here is touched afterwards.
        next->timer->Fire(next->key);
    } else {
        std::function<void()> task = std::move(m_delayed[next->delayed].task);
        m_delayed.erase(m_delayed.begin() + static_cast<std::ptrdiff_t>(next->delayed));
        task();
    }
    return true;
}

} // namespace KDAutoUpdate
