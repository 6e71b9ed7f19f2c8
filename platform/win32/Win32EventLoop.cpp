#include "platform/win32/Win32EventLoop.h"

#include <chrono>
#include <limits>

#include "platform/win32/Win32DialogProperty.h"
#include "platform/win32/Win32HiResTimer.h"

namespace KDAutoUpdate {

namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr wchar_t kClassName[] = L"KDAutoUpdate.Loop";

void RegisterLoopClass(WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc); // fails harmlessly when a second loop registers it again
}

} // namespace

Win32EventLoop::Win32EventLoop() {
    RegisterLoopClass(&Win32EventLoop::WindowProc);
    m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (m_window)
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32EventLoop::~Win32EventLoop() {
    if (!m_window)
        return;
    for (const auto& timer : m_timers)
        KillTimer(m_window, timer.first);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    DestroyWindow(m_window);
}

std::unique_ptr<KDHiResTimer> Win32EventLoop::CreateTimer() {
    return std::make_unique<Win32HiResTimer>(*this);
}

bool Win32EventLoop::DispatchOne() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        // Leave it for the outermost loop of the thread.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && GetPropW(root, kDialogProperty) && IsDialogMessageW(root, &msg))
        return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

int Win32EventLoop::RunMessageLoop() {
    for (;;) {
        while (DispatchOne()) {
        }
        MSG quit;
        if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            return static_cast<int>(quit.wParam);
        WaitForMessage();
    }
}

void Win32EventLoop::WaitForMessage() {
    // Not WaitMessage: it waits for messages that arrived since the queue was last looked at,
    // and a message posted between the last peek and the wait (a COM call from another
    // process, say) would sit there unserved.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32EventLoop::ProcessPendingEvents() {
    // Only what is queued now: a handler that posts again must not keep this call busy.
    for (int budget = 1000; budget > 0 && DispatchOne(); --budget) {
    }
}

bool Win32EventLoop::RunUntil(const std::function<bool()>& done, long timeoutMs) {
    const ULONGLONG deadline =
        GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD wait = static_cast<DWORD>(deadline - now);
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        ProcessPendingEvents();
    }
}

void Win32EventLoop::RunFor(long ms) {
    RunUntil([] { return false; }, ms);
}

void Win32EventLoop::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    PostMessageW(m_window, kRunTasks, 0, 0);
}

void Win32EventLoop::RunPostedTasks() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks)
        task();
}

long long Win32EventLoop::NowLocalSeconds() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    namespace c = std::chrono;
    const c::sys_days date = c::year{local.wYear} / c::month{local.wMonth} / c::day{local.wDay};
    return date.time_since_epoch().count() * 86400LL + local.wHour * 3600LL + local.wMinute * 60LL +
           local.wSecond;
}

UINT_PTR Win32EventLoop::StartTimer(UINT intervalMs, std::function<void()> tick) {
    const UINT_PTR id = m_nextTimerId++;
    if (!m_window || !SetTimer(m_window, id, intervalMs, nullptr))
        return 0;
    m_timers[id] = std::make_shared<std::function<void()>>(std::move(tick));
    return id;
}

void Win32EventLoop::StopTimer(UINT_PTR id) {
    if (m_window && m_timers.erase(id))
        KillTimer(m_window, id);
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == kRunTasks) {
        self->RunPostedTasks();
        return 0;
    }
    if (self && msg == WM_TIMER) {
        const auto it = self->m_timers.find(wParam);
        if (it != self->m_timers.end()) {
            // Held here: the tick may stop or remove its own timer.
            const std::shared_ptr<std::function<void()>> tick = it->second;
            (*tick)();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace KDAutoUpdate
