#pragma once
// The agent as a D-Bus service: a factory object that creates agents, and one generic object
// handler that serves every agent and record by member name through the automation
// dispatcher, behind a front on the bus's thread that answers property reads
// (DBusPropertyFront). An agent lives while its creator holds it: until it calls Release or leaves
// the bus.

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QHash>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "DBusPropertyFront.h"
#include "automation/AutomationDescription.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

class AuAgent;
class DBusAgentEvents;

class DBusAgentService : public QDBusVirtualObject {
    Q_OBJECT
public:
    struct Options {
        // How long an agent waits for its event sink's answer.
        int sinkTimeoutMs = 5000;
        // Told the number of agents whenever an agent began or ended.
        std::function<void(int)> agentCountChanged;
    };

    DBusAgentService(QDBusConnection connection, Platform& platform, Options options);
    ~DBusAgentService() override;

    // Registers the objects and takes the service name; false when either fails.
    bool Register();
    int AgentCount() const { return static_cast<int>(m_agents.size()); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    struct Agent;
    struct Object {
        const ClassDescription* type = nullptr;
        std::shared_ptr<void> instance;
        QString agentPath; // the agent the object belongs to
    };

    // An agent held by its creator ends when the creator leaves the bus; one created for a
    // script of one-shot bus calls lives until it is released.
    void CreateAgent(const QDBusMessage& message, bool heldByCreator);
    void HandleProperties(const QDBusMessage& message, const Object& object);
    void HandleMethod(const QDBusMessage& message, const QString& path, const Object& object);
    // The D-Bus reply of a member's result; records are published first.
    QDBusMessage Reply(const QDBusMessage& message, const QString& agentPath,
                       const MemberDescription& member, const Outcome<AutomationValue>& result);
    // The scalar properties of every object now, except those that ask the machine.
    DBusPropertyFront::Values PropertyValues() const;
    void Publish(const QString& path, Object object);
    void Unpublish(const QString& path);
    void Release(const QString& path);
    void ReleaseAgent(const QString& agentPath);
    void CreatorLeft(const QString& service);
    // Ends released agents once no window of theirs runs a nested loop.
    void EndReleasedAgents();

    QDBusConnection m_connection;
    Platform& m_platform;
    Options m_options;
    QDBusServiceWatcher m_creators;
    QHash<QString, Object> m_objects;
    std::map<QString, std::unique_ptr<Agent>> m_agents;
    std::vector<std::unique_ptr<Agent>> m_released;
    quint64 m_nextId = 1;
    DBusPropertyFront* m_front = nullptr; // lives on the bus's thread
};

} // namespace KDAutoUpdate
