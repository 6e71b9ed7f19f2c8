#include "DBusAgentEvents.h"

#include <QDBusMessage>
#include <QDBusVariant>

#include "DBusNames.h"
#include "DBusValues.h"

namespace KDAutoUpdate {

namespace {

QString AgentInterface() {
    return QString::fromLatin1(DBusNames::kInterfacePrefix) + QStringLiteral("AuAgent");
}

bool HasByRefArguments(const EventDescription& event) {
    for (const ArgumentDescription& a : event.arguments)
        if (a.byRef)
            return true;
    return false;
}

// The sink's reply value for a byRef argument, when it has the argument's type.
std::optional<Variant> Answer(const QVariant& value, AuType type) {
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return std::nullopt; // the sink's method returns the plain type
    std::optional<Variant> v = FromDBus(value);
    if (!v)
        return std::nullopt;
    const bool fits = (type == AuType::Boolean && v->Is<bool>()) ||
                      (type == AuType::Long && v->Is<std::int32_t>()) ||
                      (type == AuType::String && v->Is<std::string>());
    return fits ? v : std::nullopt;
}

} // namespace

void DBusAgentEvents::Raise(const EventDescription& event, std::vector<Variant>& args) {
    const QString name = QString::fromLatin1(event.name.data(), qsizetype(event.name.size()));
    QVariantList values;
    for (const Variant& a : args)
        values.push_back(ToDBus(a));
    if (m_before)
        m_before();
    QDBusMessage signal = QDBusMessage::createSignal(m_path, AgentInterface(), name);
    signal.setArguments(values);
    m_connection.send(signal);
    if (m_sinkService.isEmpty() || !HasByRefArguments(event))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_sinkService, m_sinkPath, QString::fromLatin1(DBusNames::kEventsInterface), name);
    call.setArguments(values);
    // The agent waits for its host's answer as for an in-process handler, but only so long;
    // other calls are served meanwhile, as the host's handler may read the agent.
    const QDBusMessage reply = m_connection.call(call, QDBus::BlockWithGui, m_sinkTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return;
    const QVariantList answers = reply.arguments();
    qsizetype next = 0;
    for (std::size_t i = 0; i < args.size() && next < answers.size(); ++i) {
        const ArgumentDescription& a = event.arguments[i];
        if (!a.byRef)
            continue;
        if (const auto v = Answer(answers[next++], a.type))
            args[i] = *v;
    }
}

} // namespace KDAutoUpdate
