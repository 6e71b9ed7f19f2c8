#pragma once
// The first handler of every call to the service's objects, on the thread that reads the bus.
// A property read is answered there from a copy of the agents' property values, without
// waking the agents' thread; everything else goes on to the agents' thread in the order it
// came (DBusAgentService).
//
// The copy is taken on the agents' thread each time it goes idle and counts only from the
// moment the bus thread has sent everything that thread sent before (replies, signals); it
// stops counting when that thread wakes up, when it raises an event, and while calls it has
// not answered yet are queued. So a read answers the state that the calls before it and the
// events the client saw have left, as if the agents' thread had answered it.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QHash>
#include <QMutex>
#include <QVariant>

#include <functional>

namespace KDAutoUpdate {

struct ClassDescription;

class DBusPropertyFront : public QDBusVirtualObject {
public:
    // Property name → value, by object path.
    using Values = QHash<QString, QHash<QString, QVariant>>;
    struct Hooks {
        // On the agents' thread: handles a call the front passed on; false when no object
        // takes it.
        std::function<bool(const QDBusMessage&)> handle;
        // On the agents' thread: the readable values of every object now.
        std::function<Values()> values;
    };

    // Made on the agents' thread (`agents`).
    DBusPropertyFront(QDBusConnection connection, QObject* agents, Hooks hooks);
    // Once registered (Qt gives it a child there): from here on it runs on the bus's thread.
    void MoveToBusThread();
    // On the agents' thread when they end, after the object was unregistered: no more copies
    // are taken, and the front may be deleted later.
    void Stop();

    // The objects it routes, as the agents' thread publishes and ends them; null type: the
    // factory.
    void SetObject(const QString& path, const ClassDescription* type);
    void RemoveObject(const QString& path);
    // Stops answering reads of `path` here, so they wait on the agents' thread.
    void ForgetValues(const QString& path);
    // On the agents' thread, before it raises an event: no read is answered from the copy
    // until the thread is idle again and its messages are out.
    void Invalidate();

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    void AgentsIdle();
    void Install(quint64 epoch, Values values);
    bool AnswerRead(const QDBusMessage& message, const QString& interface);

    QDBusConnection m_connection;
    QObject* m_agents;
    Hooks m_hooks;
    mutable QMutex m_lock;
    struct Route {
        const ClassDescription* type = nullptr; // null: the factory
        QString interface;
    };
    QHash<QString, Route> m_routes; // under m_lock
    Values m_values;                // under m_lock
    quint64 m_epoch = 0;            // under m_lock; grows at each wake
    bool m_valid = false;           // under m_lock
    int m_passedOn = 0;             // calls on their way to the agents' thread, under m_lock
    bool m_dirty = true;            // agents' thread only: awake since the last copy
};

} // namespace KDAutoUpdate
