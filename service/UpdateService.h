#pragma once

#include "service/Catalogue.h"
#include "service/DeltaPatches.h"
#include "service/ServiceOptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QHttpServerResponder>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>

class QHttpServerRequest;
class QTcpSocket;
class QTemporaryDir;
class QTimer;

namespace KDAutoUpdate {

class RawRequestTcpServer;
class ServiceHttpServer;

// The embedded update service. Under "/services/autoupdate" it answers
//   /CheckUpdate.aspx  the check: <CheckUpdate count=".." msgs=".."/> for ProductCode and Version
//   /InitUpdate.aspx   the message page with its data island
//   /packages/<file>   the package files of the catalogue
//   /info/<file>       the pages of information messages
//   /deltas/<file>     patches of packages from the earlier packages the catalogue names
// and 404 to everything else. Every request is logged as one line:
//   METHOD TARGET STATUS
// with the target (path and query) exactly as it arrived and "-" as the status of a request
// that is held without an answer; the latest lines stay in memory (ServiceOptions).
// Links in the page start with the configured public address, or the listening address.
class UpdateService : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kServicePath = "/services/autoupdate";
    // The answer to an unknown address (404, text/html; charset=utf-8).
    static constexpr const char* kNotFoundPage =
        "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"/>"
        "<title>Nicht gefunden</title></head><body style=\"font-family: sans-serif; margin: "
        "2em\"><h1>Nicht gefunden</h1><p>Die angeforderte Seite wurde auf diesem Server nicht "
        "gefunden.</p></body></html>\n";
    // The content type of a file of the catalogue's info/ folder, told by its name.
    static QByteArray InfoContentType(const QString& path);

    explicit UpdateService(const QString& catalogueFolder, QObject* parent = nullptr);
    explicit UpdateService(ServiceOptions options, QObject* parent = nullptr);
    ~UpdateService() override;

    // Whether the catalogue given at construction could be read; ErrorString() says why not.
    bool IsCatalogueLoaded() const { return m_catalogue.has_value(); }
    QString ErrorString() const { return m_error; }

    // Listens on `address`; port 0 picks a free port. Fails when the catalogue could not be
    // read or the port cannot be opened.
    bool Start(const QHostAddress& address, quint16 port);
    quint16 Port() const;
    // "http://127.0.0.1:PORT/services/autoupdate", without a trailing slash.
    QString BaseUrl() const;
    // What the page's links start with: the public address and the service path, or BaseUrl().
    QString PublicBaseUrl() const;

    QStringList RequestLog() const { return m_requestLog; }
    // Where the patches are; services of one catalogue may share it.
    QString DeltaFolder() const { return m_deltas.Folder(); }

signals:
    void RequestLogged(const QString& line);

private:
    struct Answer {
        QHttpServerResponder::StatusCode status;
        QByteArray contentType;
        QByteArray body;
        QString note = {}; // appended to the log line
    };
    struct CheckOutcome {
        QByteArray body;
        QString note;
    };

    void HandleRequest(const QHttpServerRequest& request, QTcpSocket* socket);
    void Route(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& method,
               const QByteArray& target);
    Answer CheckAnswer(const CheckOutcome& outcome) const;
    static QString OfferNote(const QList<const CatalogueMessage*>& offers,
                             const OfferRequest& request, std::optional<quint32> bucket);
    Answer CheckUpdate(const QByteArray& query);
    Answer InitUpdate(const QHttpServerRequest& request, const QByteArray& query);
    std::optional<QString> PublishedFile(const QString& folder, const QByteArray& rawName) const;
    QHttpServerResponder::StatusCode SendFile(QHttpServerResponder& responder,
                                              const QHttpServerRequest& request,
                                              const QString& path, const QByteArray& type,
                                              bool package, bool immutable);
    void Hold(QHttpServerResponder responder, QTcpSocket* socket);
    void ReloadCatalogueIfChanged();
    // Closes the connection once the answer (a streamed file too) went out.
    void CloseWhenSent(QTcpSocket* socket);
    void Log(const QByteArray& method, const QByteArray& target, const QString& status);

    ServiceOptions m_options;
    std::optional<Catalogue> m_catalogue;
    std::unique_ptr<QTemporaryDir> m_ownDeltaFolder;
    DeltaPatches m_deltas;
    QDateTime m_catalogueStamp;
    qint64 m_catalogueSize = -1;
    QString m_error;
    QHostAddress m_address;
    QStringList m_requestLog;
    std::unique_ptr<ServiceHttpServer> m_http;
    RawRequestTcpServer* m_listener = nullptr; // owned by m_http
    // Requests deliberately left without an answer; released when their connection closes.
    std::map<QTcpSocket*, std::unique_ptr<QHttpServerResponder>> m_held;
    // Check answers by query text as it arrived; emptied whenever the catalogue changes, and
    // whenever it would hold more than its bound of bytes.
    QHash<QByteArray, CheckOutcome> m_checkAnswers;
    qsizetype m_checkAnswerBytes = 0;
    QTimer* m_logFlush = nullptr; // batches the log's writes when bufferLog is set
    // The file stream of the answer being given, if it is one.
    QPointer<QIODevice> m_stream;
    // Package answers still to be cut short (ServiceOptions::cutPackages).
    int m_cutsLeft = 0;
};

} // namespace KDAutoUpdate
