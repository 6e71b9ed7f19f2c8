#pragma once
// The agent thread's message loop: posted tasks and window timers arrive as messages of one
// hidden message-only window; nested loops pump the thread's whole queue, so dialogs keep
// working while the agent waits.

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/EventLoop.h"

namespace KDAutoUpdate {

class Win32EventLoop : public IEventLoop {
public:
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    std::unique_ptr<KDHiResTimer> CreateTimer() override;
    void ProcessPendingEvents() override;
    bool RunUntil(const std::function<bool()>& done, long timeoutMs) override;
    void RunFor(long ms) override;
    // Safe from any thread: the task runs on the loop's thread.
    void Post(std::function<void()> task) override;
    long long NowLocalSeconds() override;

    // A window timer of the loop's thread; answers its id (0 when none could be made).
    UINT_PTR StartTimer(UINT intervalMs, std::function<void()> tick);
    void StopTimer(UINT_PTR id);

    // Takes one message off the queue and delivers it; false when the queue was empty.
    // Dialog windows get their keyboard navigation (Tab, Enter, Escape, access keys).
    static bool DispatchOne();
    // The thread's outermost loop: runs until WM_QUIT and answers its exit code.
    static int RunMessageLoop();
    // Blocks until the thread's queue holds a message, old or new.
    static void WaitForMessage();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RunPostedTasks();

    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> m_timers;
    UINT_PTR m_nextTimerId = 1;
};

} // namespace KDAutoUpdate
