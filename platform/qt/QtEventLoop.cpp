#include "platform/qt/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimeZone>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "platform/qt/QtHiResTimer.h"

namespace KDAutoUpdate {

namespace {
constexpr int kPollMs = 10;

int ClampMs(long long ms) {
    return static_cast<int>(std::clamp<long long>(ms, 0, std::numeric_limits<int>::max()));
}
} // namespace

QtEventLoop::QtEventLoop() : m_context(std::make_unique<QObject>()) {}

QtEventLoop::~QtEventLoop() = default;

std::unique_ptr<KDHiResTimer> QtEventLoop::CreateTimer() {
    return std::make_unique<QtHiResTimer>();
}

void QtEventLoop::ProcessPendingEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

bool QtEventLoop::RunUntil(const std::function<bool()>& done, long timeoutMs) {
    if (done())
        return true;
    if (!QCoreApplication::instance())
        return false;

    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    bool held = false;
    auto check = [&] {
        if (held)
            return;
        if (done()) {
            held = true;
            loop.quit();
        } else if (elapsed.elapsed() >= timeoutMs) {
            loop.quit();
        }
    };
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QMetaObject::Connection awake;
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    poll.start();
    deadline.start(ClampMs(timeoutMs));
    loop.exec();
    QObject::disconnect(awake);
    return held || done();
}

void QtEventLoop::RunFor(long ms) {
    if (!QCoreApplication::instance())
        return;
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ClampMs(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtEventLoop::Post(std::function<void()> task) {
    if (!task)
        return;
    QMetaObject::invokeMethod(
        m_context.get(), [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

long long QtEventLoop::NowLocalSeconds() {
    // The local date and time read as if they were UTC: the wall clock without its zone.
    const QDateTime local = QDateTime::currentDateTime();
    return QDateTime(local.date(), local.time(), QTimeZone::utc()).toSecsSinceEpoch();
}

} // namespace KDAutoUpdate
