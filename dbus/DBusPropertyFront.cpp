#include "DBusPropertyFront.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMutexLocker>
#include <QThread>

#include "DBusIntrospection.h"
#include "DBusNames.h"
#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString InterfaceName(const ClassDescription* type) {
    if (!type)
        return QString::fromLatin1(DBusNames::kFactoryInterface);
    return QString::fromLatin1(DBusNames::kInterfacePrefix) +
           QString::fromLatin1(type->name.data(), static_cast<qsizetype>(type->name.size()));
}

} // namespace

DBusPropertyFront::DBusPropertyFront(QDBusConnection connection, QObject* agents, Hooks hooks)
    : m_connection(std::move(connection)), m_agents(agents), m_hooks(std::move(hooks)) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(agents->thread());
    if (dispatcher) {
        // Direct: these run on the agents' thread, while it wakes up or goes idle.
        connect(
            dispatcher, &QAbstractEventDispatcher::awake, this, [this] { Invalidate(); },
            Qt::DirectConnection);
        connect(
            dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { AgentsIdle(); },
            Qt::DirectConnection);
    }
}

void DBusPropertyFront::Stop() {
    if (QAbstractEventDispatcher* dispatcher =
            QAbstractEventDispatcher::instance(m_agents->thread()))
        disconnect(dispatcher, nullptr, this, nullptr);
    // Unregistered by now: Qt's blocking wait for its destruction would deadlock on the bus's
    // own thread.
    disconnect(this, &QObject::destroyed, nullptr, nullptr);
    const QMutexLocker lock(&m_lock);
    m_valid = false;
}

void DBusPropertyFront::MoveToBusThread() {
    // The bus's own interface object lives on the thread that reads the bus.
    if (QDBusConnectionInterface* bus = m_connection.interface())
        moveToThread(bus->thread());
}

void DBusPropertyFront::SetObject(const QString& path, const ClassDescription* type) {
    const QMutexLocker lock(&m_lock);
    m_routes.insert(path, Route{type, InterfaceName(type)});
}

void DBusPropertyFront::RemoveObject(const QString& path) {
    const QMutexLocker lock(&m_lock);
    m_routes.remove(path);
    m_values.remove(path);
}

void DBusPropertyFront::ForgetValues(const QString& path) {
    const QMutexLocker lock(&m_lock);
    m_values.remove(path);
}

void DBusPropertyFront::Invalidate() {
    m_dirty = true;
    const QMutexLocker lock(&m_lock);
    ++m_epoch;
    m_valid = false;
}

void DBusPropertyFront::AgentsIdle() {
    if (!m_dirty || !m_hooks.values)
        return;
    m_dirty = false;
    quint64 epoch = 0;
    {
        const QMutexLocker lock(&m_lock);
        epoch = m_epoch;
    }
    // Queued behind whatever the agents' thread has sent so far, so the copy counts only
    // once those messages are out.
    QMetaObject::invokeMethod(
        this,
        [this, epoch, values = m_hooks.values()]() mutable { Install(epoch, std::move(values)); },
        Qt::QueuedConnection);
}

void DBusPropertyFront::Install(quint64 epoch, Values values) {
    const QMutexLocker lock(&m_lock);
    if (epoch != m_epoch)
        return; // the agents' thread woke up since
    m_values = std::move(values);
    m_valid = true;
}

bool DBusPropertyFront::AnswerRead(const QDBusMessage& message, const QString& interface) {
    if (!m_valid || m_passedOn > 0 || message.member() != QLatin1String("Get"))
        return false;
    const QVariantList args = message.arguments();
    if (args.size() != 2 || args[0].toString() != interface)
        return false;
    const auto object = m_values.constFind(message.path());
    if (object == m_values.constEnd())
        return false;
    const auto value = object->constFind(args[1].toString());
    if (value == object->constEnd())
        return false;
    m_connection.send(message.createReply(QVariant::fromValue(QDBusVariant(*value))));
    return true;
}

bool DBusPropertyFront::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString interface = message.interface();
    {
        const QMutexLocker lock(&m_lock);
        const auto it = m_routes.constFind(message.path());
        if (it == m_routes.constEnd())
            return false;
        // What the agents' thread takes: the factory's methods, an object's properties and
        // methods; the rest (introspection, Peer) Qt answers here.
        const bool properties = it->type && interface == kPropertiesInterface;
        if (!(interface.isEmpty() || interface == it->interface || properties))
            return false;
        if (properties && AnswerRead(message, it->interface))
            return true;
        ++m_passedOn;
    }
    QMetaObject::invokeMethod(
        m_agents,
        [this, message] {
            if (!m_hooks.handle(message))
                m_connection.send(
                    message.createErrorReply(QDBusError::UnknownObject, message.path()));
            const QMutexLocker lock(&m_lock);
            --m_passedOn;
        },
        Qt::QueuedConnection);
    return true;
}

QString DBusPropertyFront::introspect(const QString& path) const {
    const QMutexLocker lock(&m_lock);
    const auto it = m_routes.constFind(path);
    if (it == m_routes.constEnd())
        return QString();
    return QString::fromStdString(it->type ? InterfaceXml(*it->type) : FactoryInterfaceXml());
}

} // namespace KDAutoUpdate
