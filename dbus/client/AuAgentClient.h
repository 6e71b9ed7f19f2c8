#pragma once
// A typed client of the D-Bus agent service for C++ hosts: creates an agent in the service's
// process and reaches its properties, operations, records and events without loading the
// agent (or Qt WebEngine) into the host.

#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

namespace KDAutoUpdate::Client {

class AuProductInfoClient;

class AuAgentClient : public QObject {
    Q_OBJECT
public:
    // Creates an agent held by this connection; isValid() tells whether that worked.
    explicit AuAgentClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                           QObject* parent = nullptr);
    // Releases the agent: it closes its windows and saves the store.
    ~AuAgentClient() override;

    bool isValid() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    // The error of the last call that failed (org.kdautoupdate.Error.Busy, ...).
    const QDBusError& lastError() const { return m_error; }

    // Properties by name; an invalid QVariant when the read failed.
    QVariant property(const QString& name);
    bool setProperty(const QString& name, const QVariant& value);
    QString productCode() { return property("ProductCode").toString(); }
    bool setProductCode(const QString& code) { return setProperty("ProductCode", code); }
    bool setBaseURL(const QString& url) { return setProperty("BaseURL", url); }
    bool setVersion(int major, int minor, int revision);
    bool isProcessing() { return property("IsProcessing").toBool(); }

    // Operations; nothing when the agent raised an error (see lastError()).
    std::optional<bool> checkMessages(bool bSilent = false, bool bAsync = true, bool bAuto = true);
    bool displayMessages();
    std::optional<bool> checkInstallableUpdates(bool bSilent = false);
    // The product's record, or null for Nothing and on errors.
    std::unique_ptr<AuProductInfoClient> getProductInfo();
    std::unique_ptr<AuProductInfoClient> getLastInstallableUpdate();

signals:
    // The agent's NewMessages event; a handler connected directly may change *bSkipDialog.
    void newMessages(int lMessageCount, const QString& sMessageStamp, const QString& sResponseXML,
                     bool* bSkipDialog);
    void processCompleted();

private slots:
    void onProcessCompleted() { emit processCompleted(); }

private:
    friend class EventSink;
    QDBusMessage call(const QString& method, const QVariantList& args = {});
    std::unique_ptr<AuProductInfoClient> record(const QString& method);

    QDBusConnection m_bus;
    QString m_path;
    QString m_sinkPath;
    QDBusError m_error;
    std::unique_ptr<QObject> m_sink;
};

// A product's stored state in the service: its fields by name, and Persist.
class AuProductInfoClient {
public:
    AuProductInfoClient(QDBusConnection bus, QString path);
    ~AuProductInfoClient();
    const QString& path() const { return m_path; }
    QVariant field(const QString& name);
    bool setField(const QString& name, const QVariant& value);
    bool persist();

private:
    QDBusConnection m_bus;
    QString m_path;
};

} // namespace KDAutoUpdate::Client
