#include "AuAgentClient.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace KDAutoUpdate::Client {

namespace {

const QString kService = QStringLiteral("org.kdautoupdate.KDAutoUpdate");
const QString kAgent = QStringLiteral("org.kdautoupdate.AuAgent");
const QString kRecord = QStringLiteral("org.kdautoupdate.AuProductInfo");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage Call(QDBusConnection& bus, const QString& path, const QString& iface,
                  const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, path, iface, method);
    m.setArguments(args);
    return bus.call(m);
}

QVariant Get(QDBusConnection& bus, const QString& path, const QString& iface, const QString& name) {
    const QDBusMessage r = Call(bus, path, kProperties, QStringLiteral("Get"), {iface, name});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
        return {};
    return r.arguments().first().value<QDBusVariant>().variant();
}

bool Set(QDBusConnection& bus, const QString& path, const QString& iface, const QString& name,
         const QVariant& value) {
    return Call(bus, path, kProperties, QStringLiteral("Set"),
                {iface, name, QVariant::fromValue(QDBusVariant(value))})
               .type() == QDBusMessage::ReplyMessage;
}

} // namespace

// The object the agent calls with its NewMessages event; answers with the host's choice.
class EventSink : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kdautoupdate.AuAgentEvents")
public:
    explicit EventSink(AuAgentClient& client) : m_client(client) {}

public slots:
    bool NewMessages(int lMessageCount, const QString& sMessageStamp, const QString& sResponseXML,
                     bool bSkipDialog) {
        emit m_client.newMessages(lMessageCount, sMessageStamp, sResponseXML, &bSkipDialog);
        return bSkipDialog;
    }

private:
    AuAgentClient& m_client;
};

AuAgentClient::AuAgentClient(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    const QDBusMessage r = Call(m_bus, QStringLiteral("/org/kdautoupdate/KDAutoUpdate"), kService,
                                QStringLiteral("CreateAgent"), {});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
        m_error = QDBusError(r);
        return;
    }
    m_path = r.arguments().first().value<QDBusObjectPath>().path();
    m_sinkPath = QStringLiteral("/kdautoupdate/events") + m_path.section('/', -1);
    m_sink = std::make_unique<EventSink>(*this);
    m_bus.registerObject(m_sinkPath, m_sink.get(), QDBusConnection::ExportAllSlots);
    call(QStringLiteral("SetEventSink"), {QVariant::fromValue(QDBusObjectPath(m_sinkPath))});
    m_bus.connect(kService, m_path, kAgent, QStringLiteral("ProcessCompleted"), this,
                  SLOT(onProcessCompleted()));
}

AuAgentClient::~AuAgentClient() {
    if (!isValid())
        return;
    m_bus.disconnect(kService, m_path, kAgent, QStringLiteral("ProcessCompleted"), this,
                     SLOT(onProcessCompleted()));
    m_bus.unregisterObject(m_sinkPath);
    call(QStringLiteral("Release"));
}

QDBusMessage AuAgentClient::call(const QString& method, const QVariantList& args) {
    QDBusMessage r = Call(m_bus, m_path, kAgent, method, args);
    if (r.type() == QDBusMessage::ErrorMessage)
        m_error = QDBusError(r);
    return r;
}

QVariant AuAgentClient::property(const QString& name) {
    return Get(m_bus, m_path, kAgent, name);
}

bool AuAgentClient::setProperty(const QString& name, const QVariant& value) {
    return Set(m_bus, m_path, kAgent, name, value);
}

bool AuAgentClient::setVersion(int major, int minor, int revision) {
    return setProperty("MajorVer", major) && setProperty("MinorVer", minor) &&
           setProperty("Revision", revision);
}

std::optional<bool> AuAgentClient::checkMessages(bool bSilent, bool bAsync, bool bAuto) {
    const QDBusMessage r = call(QStringLiteral("CheckMessages"), {bSilent, bAsync, bAuto});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
        return std::nullopt;
    return r.arguments().first().toBool();
}

bool AuAgentClient::displayMessages() {
    return call(QStringLiteral("DisplayMessages")).type() == QDBusMessage::ReplyMessage;
}

std::optional<bool> AuAgentClient::checkInstallableUpdates(bool bSilent) {
    const QDBusMessage r = call(QStringLiteral("CheckInstallableUpdates"), {bSilent});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
        return std::nullopt;
    return r.arguments().first().toBool();
}

std::unique_ptr<AuProductInfoClient> AuAgentClient::record(const QString& method) {
    const QDBusMessage r = call(method);
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
        return nullptr;
    const QString path = r.arguments().first().value<QDBusObjectPath>().path();
    if (path == QLatin1String("/"))
        return nullptr;
    return std::make_unique<AuProductInfoClient>(m_bus, path);
}

std::unique_ptr<AuProductInfoClient> AuAgentClient::getProductInfo() {
    return record(QStringLiteral("GetProductInfo"));
}

std::unique_ptr<AuProductInfoClient> AuAgentClient::getLastInstallableUpdate() {
    return record(QStringLiteral("GetLastInstallableUpdate"));
}

AuProductInfoClient::AuProductInfoClient(QDBusConnection bus, QString path)
    : m_bus(std::move(bus)), m_path(std::move(path)) {}

AuProductInfoClient::~AuProductInfoClient() {
    Call(m_bus, m_path, kRecord, QStringLiteral("Release"), {});
}

QVariant AuProductInfoClient::field(const QString& name) {
    return Get(m_bus, m_path, kRecord, name);
}

bool AuProductInfoClient::setField(const QString& name, const QVariant& value) {
    return Set(m_bus, m_path, kRecord, name, value);
}

bool AuProductInfoClient::persist() {
    return Call(m_bus, m_path, kRecord, QStringLiteral("Persist"), {}).type() ==
           QDBusMessage::ReplyMessage;
}

} // namespace KDAutoUpdate::Client

#include "AuAgentClient.moc"
