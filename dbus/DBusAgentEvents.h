#pragma once
// An agent's events on the bus: signals on the agent's object for every listener, and the
// NewMessages call to the event sink its host registered, whose answer sets bSkipDialog.

#include <QDBusConnection>
#include <QString>

#include <functional>

#include "agent/AgentEvents.h"

namespace KDAutoUpdate {

class DBusAgentEvents : public IAuAgentEvents {
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

    void NewMessages(long lMessageCount, const std::string& sMessageStamp,
                     const std::string& sResponseXML, bool& bSkipDialog) override;
    void ProcessCompleted() override;

private:
    QDBusConnection m_connection;
    QString m_path;
    int m_sinkTimeoutMs;
    QString m_sinkService;
    QString m_sinkPath;
    std::function<void()> m_before;
};

} // namespace KDAutoUpdate
