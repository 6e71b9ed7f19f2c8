#include "DBusAgentService.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QThread>
#include <QTimer>

#include "DBusAgentEvents.h"
#include "DBusIntrospection.h"
#include "DBusNames.h"
#include "DBusValues.h"
#include "agent/AuAgent.h"
#include "automation/AutomationDispatcher.h"

namespace KDAutoUpdate {

struct DBusAgentService::Agent {
    QString creator;
    std::vector<QString> records;
    AutomationError lastError;
    quint64 nextRecord = 1;
    // Declared before the agent: the agent raises its events into it until it has ended.
    std::unique_ptr<DBusAgentEvents> events;
    std::unique_ptr<AuAgent> agent;
};

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The D-Bus interface of a published class, built once per class.
const QString& InterfaceOf(const ClassDescription& type) {
    static QHash<const ClassDescription*, QString> names;
    auto it = names.find(&type);
    if (it == names.end())
        it = names.insert(&type, QString::fromLatin1(DBusNames::kInterfacePrefix) +
                                     QString::fromLatin1(type.name.data(),
                                                         static_cast<qsizetype>(type.name.size())));
    return *it;
}

// D-Bus error names of the errors a host sees; GetLastError gives their number and source.
QString ErrorName(long number) {
    switch (number) {
    case kObjectErrorBase:
        return QStringLiteral("Busy");
    case kErrTypeMismatch:
        return QStringLiteral("TypeMismatch");
    case kErrArgumentNotOptional:
    case kErrWrongArgumentCount:
        return QStringLiteral("InvalidArguments");
    case kErrMemberNotFound:
        return QStringLiteral("UnknownMember");
    default:
        return QStringLiteral("Failed");
    }
}

QDBusMessage ErrorReply(const QDBusMessage& message, const AutomationError& error) {
    QDBusMessage reply = message.createErrorReply(QString::fromLatin1(DBusNames::kErrorPrefix) +
                                                      ErrorName(error.number),
                                                  QString::fromStdString(error.description));
    return reply;
}

std::optional<std::vector<Variant>> Arguments(const QVariantList& list) {
    std::vector<Variant> args;
    args.reserve(static_cast<size_t>(list.size()));
    for (const QVariant& v : list) {
        auto value = FromDBus(v);
        if (!value)
            return std::nullopt;
        args.push_back(std::move(*value));
    }
    return args;
}

} // namespace

DBusAgentService::DBusAgentService(QDBusConnection connection, Platform& platform, Options options)
    : m_connection(std::move(connection)), m_platform(platform), m_options(std::move(options)),
      m_creators(QString(), m_connection, QDBusServiceWatcher::WatchForUnregistration) {
    connect(&m_creators, &QDBusServiceWatcher::serviceUnregistered, this,
            &DBusAgentService::CreatorLeft);
}

DBusAgentService::~DBusAgentService() {
    if (m_front) {
        m_connection.unregisterObject(QString::fromLatin1(DBusNames::kFactoryPath),
                                      QDBusConnection::UnregisterTree);
        m_front->Stop();
        m_front->deleteLater();
    }
    m_objects.clear();
    m_agents.clear();
    m_released.clear();
}

bool DBusAgentService::Register() {
    const QString factory = QString::fromLatin1(DBusNames::kFactoryPath);
    m_front = new DBusPropertyFront(
        m_connection, this,
        {[this](const QDBusMessage& message) { return handleMessage(message, m_connection); },
         [this] { return PropertyValues(); }});
    m_front->SetObject(factory, nullptr);
    if (!m_connection.registerVirtualObject(factory, m_front, QDBusConnection::SubPath))
        return false;
    m_front->MoveToBusThread();
    return m_connection.registerService(QString::fromLatin1(DBusNames::kService));
}

QString DBusAgentService::introspect(const QString& path) const {
    if (path == QLatin1String(DBusNames::kFactoryPath))
        return QString::fromStdString(FactoryInterfaceXml());
    const auto it = m_objects.constFind(path);
    return it == m_objects.constEnd() ? QString() : QString::fromStdString(InterfaceXml(*it->type));
}

bool DBusAgentService::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString path = message.path();
    if (path == QLatin1String(DBusNames::kFactoryPath)) {
        const bool held = message.member() == QLatin1String("CreateAgent");
        if ((!held && message.member() != QLatin1String("CreateAgentUntilRelease")) ||
            !(message.interface().isEmpty() ||
              message.interface() == QLatin1String(DBusNames::kFactoryInterface)))
            return false;
        CreateAgent(message, held);
        return true;
    }
    const auto it = m_objects.constFind(path);
    if (it == m_objects.constEnd())
        return false;
    const Object object = *it; // the call may release it
    if (message.interface() == kPropertiesInterface)
        HandleProperties(message, object);
    else if (message.interface().isEmpty() || message.interface() == InterfaceOf(*object.type))
        HandleMethod(message, path, object);
    else
        return false;
    return true;
}

void DBusAgentService::CreateAgent(const QDBusMessage& message, bool heldByCreator) {
    const QString path = QString::fromLatin1(DBusNames::kFactoryPath) + QStringLiteral("/Agent") +
                         QString::number(m_nextId++);
    auto entry = std::make_unique<Agent>();
    if (heldByCreator)
        entry->creator = message.service();
    entry->events = std::make_unique<DBusAgentEvents>(m_connection, path, m_options.sinkTimeoutMs);
    if (DBusPropertyFront* front = m_front)
        entry->events->SetBeforeEvent([front] { front->Invalidate(); });
    entry->agent = std::make_unique<AuAgent>(m_platform, entry->events.get());
    Publish(path, Object{&AuAgentClass(),
                         std::shared_ptr<void>(std::shared_ptr<void>(), entry->agent.get()), path});
    if (!entry->creator.isEmpty())
        m_creators.addWatchedService(entry->creator);
    m_agents.emplace(path, std::move(entry));
    m_connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    if (m_options.agentCountChanged)
        m_options.agentCountChanged(AgentCount());
}

void DBusAgentService::HandleProperties(const QDBusMessage& message, const Object& object) {
    const QVariantList args = message.arguments();
    const QString member = message.member();
    auto fail = [&](const char* text) {
        m_connection.send(message.createErrorReply(QDBusError::InvalidArgs, QLatin1String(text)));
    };
    if (args.isEmpty() || args[0].toString() != InterfaceOf(*object.type))
        return fail("Unknown interface");
    if (member == QLatin1String("GetAll")) {
        QVariantMap all;
        for (const auto& m : object.type->members)
            if (m.kind == MemberKind::PropertyGet && m.type != AuType::Object)
                if (const auto r = Invoke(object.instance.get(), m, {}); r.ok())
                    all.insert(
                        QString::fromLatin1(m.name.data(), static_cast<qsizetype>(m.name.size())),
                        ToDBus(r.value().scalar));
        m_connection.send(message.createReply(QVariant::fromValue(all)));
        return;
    }
    if (args.size() < 2)
        return fail("Missing property name");
    const std::string name = args[1].toString().toStdString();
    const bool set = member == QLatin1String("Set");
    if (!set && member != QLatin1String("Get"))
        return fail("Unknown method");
    const MemberDescription* m =
        FindMember(*object.type, name, set ? MemberKind::PropertyPut : MemberKind::PropertyGet);
    if (!m) {
        const bool exists = FindMember(*object.type, name, MemberKind::PropertyGet) != nullptr;
        m_connection.send(message.createErrorReply(exists ? QDBusError::PropertyReadOnly
                                                          : QDBusError::UnknownProperty,
                                                   args[1].toString()));
        return;
    }
    if (!set) {
        const auto r = Invoke(object.instance.get(), *m, {});
        m_connection.send(r.ok() ? message.createReply(
                                       QVariant::fromValue(QDBusVariant(ToDBus(r.value().scalar))))
                                 : ErrorReply(message, r.error()));
        return;
    }
    const auto value = args.size() == 3 ? FromDBus(args[2]) : std::nullopt;
    if (!value)
        return fail("Unsupported value type");
    const auto r = Invoke(object.instance.get(), *m, {*value});
    m_connection.send(r.ok() ? message.createReply() : ErrorReply(message, r.error()));
}

void DBusAgentService::HandleMethod(const QDBusMessage& message, const QString& path,
                                    const Object& object) {
    const QString member = message.member();
    if (member == QLatin1String("Release") && HandedOutToHosts(*object.type)) {
        m_connection.send(message.createReply());
        Release(path);
        return;
    }
    if (member == QLatin1String("SetEventSink") && !object.type->events.empty()) {
        const QVariantList args = message.arguments();
        if (args.size() != 1 || !args[0].canConvert<QDBusObjectPath>()) {
            m_connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                       QStringLiteral("SetEventSink(o)")));
            return;
        }
        const QString sink = args[0].value<QDBusObjectPath>().path();
        if (const auto agent = m_agents.find(object.agentPath); agent != m_agents.end())
            agent->second->events->SetSink(
                sink == QLatin1String(DBusNames::kNothingPath) ? QString() : message.service(),
                sink);
        m_connection.send(message.createReply());
        return;
    }
    if (member == QLatin1String("GetLastError") && !object.type->events.empty()) {
        const auto agent = m_agents.find(object.agentPath);
        const AutomationError e =
            agent != m_agents.end() ? agent->second->lastError : AutomationError{};
        m_connection.send(
            message.createReply({static_cast<int>(e.number), QString::fromStdString(e.source),
                                 QString::fromStdString(e.description)}));
        return;
    }
    std::string name = member.toStdString();
    const std::string suffix = DBusNames::kNamedSuffix;
    const MemberDescription* method = FindMember(*object.type, name, MemberKind::Method);
    std::optional<std::vector<Variant>> args;
    if (method) {
        args = Arguments(message.arguments());
    } else if (name.size() > suffix.size() && name.ends_with(suffix)) {
        method = FindMember(*object.type, name.substr(0, name.size() - suffix.size()),
                            MemberKind::Method);
        const QVariantList list = message.arguments();
        if (method && list.size() == 1) {
            const QVariantMap given = qdbus_cast<QVariantMap>(list[0]);
            std::map<std::string, Variant> named;
            bool ok = true;
            for (auto it = given.begin(); it != given.end(); ++it) {
                const auto v = FromDBus(it.value());
                ok = ok && v.has_value();
                if (v)
                    named[it.key().toStdString()] = *v;
            }
            if (ok)
                args = ArgumentsByName(*method, named);
        }
    }
    if (!method)
        return m_connection.send(message.createErrorReply(QDBusError::UnknownMethod, member)),
               void();
    if (!args) {
        m_connection.send(message.createErrorReply(QDBusError::InvalidArgs, member));
        return;
    }
    const auto result = Invoke(object.instance.get(), *method, std::move(*args));
    if (!result.ok())
        if (const auto agent = m_agents.find(object.agentPath); agent != m_agents.end())
            agent->second->lastError = result.error();
    m_connection.send(Reply(message, object.agentPath, *method, result));
}

QDBusMessage DBusAgentService::Reply(const QDBusMessage& message, const QString& agentPath,
                                     const MemberDescription& member,
                                     const Outcome<AutomationValue>& result) {
    if (!result.ok())
        return ErrorReply(message, result.error());
    const AutomationValue& value = result.value();
    if (member.type == AuType::Void)
        return message.createReply();
    if (member.type != AuType::Object)
        return message.createReply(ToDBus(value.scalar));
    QString path = QString::fromLatin1(DBusNames::kNothingPath);
    const auto agent = m_agents.find(agentPath);
    if (value.object.instance && agent != m_agents.end()) {
        Agent& a = *agent->second;
        path = agentPath + QLatin1Char('/') +
               QString::fromLatin1(value.object.type->name.data(),
                                   static_cast<qsizetype>(value.object.type->name.size())) +
               QString::number(a.nextRecord++);
        Publish(path, Object{value.object.type, value.object.instance, agentPath});
        a.records.push_back(path);
    }
    return message.createReply(QVariant::fromValue(QDBusObjectPath(path)));
}

void DBusAgentService::Publish(const QString& path, Object object) {
    if (m_front)
        m_front->SetObject(path, object.type);
    m_objects.insert(path, std::move(object));
}

void DBusAgentService::Unpublish(const QString& path) {
    if (m_front)
        m_front->RemoveObject(path);
    m_objects.remove(path);
}

DBusPropertyFront::Values DBusAgentService::PropertyValues() const {
    DBusPropertyFront::Values values;
    for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
        QHash<QString, QVariant>& own = values[it.key()];
        for (const auto& m : it->type->members)
            if (m.kind == MemberKind::PropertyGet && m.type != AuType::Object &&
                m.name != "IsConnected")
                if (const auto r = Invoke(it->instance.get(), m, {}); r.ok())
                    own.insert(
                        QString::fromLatin1(m.name.data(), static_cast<qsizetype>(m.name.size())),
                        ToDBus(r.value().scalar));
    }
    return values;
}

void DBusAgentService::Release(const QString& path) {
    const auto agent = m_agents.find(path);
    if (agent != m_agents.end()) {
        ReleaseAgent(path);
        return;
    }
    const auto it = m_objects.find(path);
    if (it == m_objects.end())
        return;
    if (const auto owner = m_agents.find(it->agentPath); owner != m_agents.end())
        std::erase(owner->second->records, path);
    Unpublish(path);
}

void DBusAgentService::ReleaseAgent(const QString& agentPath) {
    const auto it = m_agents.find(agentPath);
    if (it == m_agents.end())
        return;
    // The objects stay known to the bus thread until the agent has ended (store saved), so a
    // host that finds them gone finds the agent's work done; reads wait for that meanwhile.
    QStringList paths(it->second->records.begin(), it->second->records.end());
    paths.push_back(agentPath);
    for (const QString& path : paths) {
        if (m_front)
            m_front->ForgetValues(path);
        m_objects.remove(path);
    }
    const QString creator = it->second->creator;
    m_released.push_back(std::move(it->second));
    m_agents.erase(it);
    bool creatorHoldsMore = false;
    for (const auto& [path, a] : m_agents)
        creatorHoldsMore = creatorHoldsMore || a->creator == creator;
    if (!creatorHoldsMore)
        m_creators.removeWatchedService(creator);
    EndReleasedAgents();
    if (m_front)
        for (const QString& path : paths)
            m_front->RemoveObject(path);
}

void DBusAgentService::CreatorLeft(const QString& service) {
    std::vector<QString> held;
    for (const auto& [path, a] : m_agents)
        if (a->creator == service)
            held.push_back(path);
    for (const QString& path : held)
        ReleaseAgent(path);
}

void DBusAgentService::EndReleasedAgents() {
    if (m_released.empty())
        return;
    // Requests reach us from the event loop, never from inside an agent, unless an agent's
    // window runs a nested loop below us (a modal dialog, a wait for an event sink): then the
    // agent ends once that loop has returned.
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(100, this, &DBusAgentService::EndReleasedAgents);
        return;
    }
    m_released.clear(); // each agent closes its windows and saves the store
    if (m_options.agentCountChanged)
        m_options.agentCountChanged(AgentCount());
}

} // namespace KDAutoUpdate
