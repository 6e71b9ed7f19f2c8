#pragma once
// An agent's events on the bus: each described event is a signal on the agent's object for
// every listener; an event with byRef arguments (NewMessages) is also a call to the event sink
// its host registered, whose reply gives those arguments' new values in their order.

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <vector>

#include "automation/AutomationEventRaiser.h"

namespace KDAutoUpdate {

class DBusAgentEvents : public AutomationEventRaiser {
public:
    DBusAgentEvents(QDBusConnection connection, QString path, int sinkTimeoutMs)
        : m_connection(std::move(connection)), m_path(std::move(path)),
          m_sinkTimeoutMs(sinkTimeoutMs) {}

    // The object `path` of the bus client `service` receives the agent's event calls.
    void SetSink(QString service, QString path) {
        m_sinkService = std::move(service);
        m_sinkPath = std::move(path);
    }

    // Runs before each event goes out.
    void SetBeforeEvent(std::function<void()> before) { m_before = std::move(before); }

protected:
    void Raise(const EventDescription& event, std::vector<Variant>& args) override;

private:
    QDBusConnection m_connection;
    QString m_path;
    int m_sinkTimeoutMs;
    QString m_sinkService;
    QString m_sinkPath;
    std::function<void()> m_before;
};

} // namespace KDAutoUpdate
