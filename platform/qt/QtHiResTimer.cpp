#include "platform/qt/QtHiResTimer.h"

#include <QTimer>
#include <algorithm>
#include <limits>

namespace KDAutoUpdate {

QtHiResTimer::QtHiResTimer() = default;

QtHiResTimer::~QtHiResTimer() {
    for (auto& [key, timer] : m_timers)
        Dispose(timer);
}

void QtHiResTimer::Dispose(QTimer* timer) {
    timer->stop();
    QObject::disconnect(timer, nullptr, nullptr, nullptr);
    timer->deleteLater();
}

bool QtHiResTimer::AddTimer(const std::string& key, long intervalMs, long /*flags*/) {
    if (m_timers.count(key) != 0)
        return false;
    auto* timer = new QTimer();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(
        std::clamp(intervalMs, 1L, static_cast<long>(std::numeric_limits<int>::max()))));
    QObject::connect(timer, &QTimer::timeout, [this, key] { OnTick(key); });
    m_timers[key] = timer;
    return true;
}

bool QtHiResTimer::EnableTimer(const std::string& key, bool enable) {
    auto it = m_timers.find(key);
    if (it == m_timers.end())
        return false;
    if (!enable)
        it->second->stop();
    else if (!it->second->isActive())
        it->second->start();
    return true;
}

bool QtHiResTimer::RemoveTimer(const std::string& key) {
    auto it = m_timers.find(key);
    if (it == m_timers.end())
        return false;
    Dispose(it->second);
    m_timers.erase(it);
    return true;
}

bool QtHiResTimer::IsTimerEnabled(const std::string& key) const {
    auto it = m_timers.find(key);
    return it != m_timers.end() && it->second->isActive();
}

void QtHiResTimer::SetTimerHandler(std::function<void(const std::string&)> handler) {
    m_handler = std::move(handler);
}

void QtHiResTimer::OnTick(const std::string& key) {
    // Copies: the handler may remove this key or destroy this object.
    const std::function<void(const std::string&)> handler = m_handler;
    const std::string keyCopy = key; // NOLINT(performance-unnecessary-copy-initialization)
    if (handler)
        handler(keyCopy);
}

} // namespace KDAutoUpdate
