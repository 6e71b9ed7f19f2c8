#include "DBusAgentEvents.h"

#include <QDBusMessage>

#include "DBusNames.h"

namespace KDAutoUpdate {

namespace {

QString AgentInterface() {
    return QString::fromLatin1(DBusNames::kInterfacePrefix) + QStringLiteral("AuAgent");
}

} // namespace

void DBusAgentEvents::NewMessages(long lMessageCount, const std::string& sMessageStamp,
                                  const std::string& sResponseXML, bool& bSkipDialog) {
    const QVariantList args = {static_cast<int>(lMessageCount),
                               QString::fromStdString(sMessageStamp),
                               QString::fromStdString(sResponseXML), bSkipDialog};
    if (m_before)
        m_before();
    QDBusMessage signal =
        QDBusMessage::createSignal(m_path, AgentInterface(), QStringLiteral("NewMessages"));
    signal.setArguments(args);
    m_connection.send(signal);
    if (m_sinkService.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_sinkService, m_sinkPath, QString::fromLatin1(DBusNames::kEventsInterface),
        QStringLiteral("NewMessages"));
    call.setArguments(args);
    // The agent waits for its host's answer as for an in-process handler, but only so long;
    // other calls are served meanwhile, as the host's handler may read the agent.
    const QDBusMessage reply = m_connection.call(call, QDBus::BlockWithGui, m_sinkTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
        reply.arguments().first().metaType().id() == QMetaType::Bool)
        bSkipDialog = reply.arguments().first().toBool();
}

void DBusAgentEvents::ProcessCompleted() {
    if (m_before)
        m_before();
    m_connection.send(
        QDBusMessage::createSignal(m_path, AgentInterface(), QStringLiteral("ProcessCompleted")));
}

} // namespace KDAutoUpdate
