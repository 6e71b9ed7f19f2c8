#pragma once
// The agent thread's loop on the running QCoreApplication.

#include <memory>

#include "platform/EventLoop.h"

class QObject;

namespace KDAutoUpdate {

class QtEventLoop : public IEventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    std::unique_ptr<KDHiResTimer> CreateTimer() override;
    void ProcessPendingEvents() override;
    // A nested loop that checks `done` whenever it is about to wait and at least every 10 ms.
    bool RunUntil(const std::function<bool()>& done, long timeoutMs) override;
    void RunFor(long ms) override;
    // Tasks still queued when this object ends are dropped.
    void Post(std::function<void()> task) override;
    long long NowLocalSeconds() override;

private:
    std::unique_ptr<QObject> m_context;
};

} // namespace KDAutoUpdate
