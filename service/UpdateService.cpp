#include "service/UpdateService.h"

#include "service/AnswerSigner.h"
#include "service/CheckResponse.h"
#include "service/MessagePage.h"
#include "service/PackageRange.h"
#include "service/PackageStream.h"
#include "service/RawRequestTcpServer.h"
#include "service/RolloutBucket.h"
#include "service/ServiceHttpServer.h"
#include "service/ServiceQuery.h"
#include "service/SharedListeningSocket.h"

#include <QDir>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QMimeDatabase>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <unistd.h>

namespace KDAutoUpdate {

namespace {

using StatusCode = QHttpServerResponder::StatusCode;

QByteArray MethodName(QHttpServerRequest::Method method) {
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Options:
        return "OPTIONS";
    case QHttpServerRequest::Method::Patch:
        return "PATCH";
    default:
        return "UNKNOWN";
    }
}

// Text after `prefix` when `path` starts with it (letter case ignored, as web servers of the
// platform the agent comes from do); nothing otherwise.
std::optional<QByteArray> After(const QByteArray& path, QByteArrayView prefix) {
    if (path.size() < prefix.size() ||
        path.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return path.mid(prefix.size());
}

} // namespace

UpdateService::UpdateService(const QString& catalogueFolder, QObject* parent)
    : UpdateService(ServiceOptions{catalogueFolder}, parent) {}

UpdateService::UpdateService(ServiceOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)),
      m_cutsLeft(m_options.cutPackageAfterBytes > 0 ? m_options.cutPackages : 0) {
    ReloadCatalogueIfChanged();
}

UpdateService::~UpdateService() {
    if (m_options.log)
        m_options.log->flush();
    // Held answers go before the connections they belong to.
    m_held.clear();
    m_http.reset();
}

bool UpdateService::Start(const QHostAddress& address, quint16 port) {
    if (!m_catalogue)
        return false;
    if (m_http) {
        m_error = QStringLiteral("the service is already running");
        return false;
    }
    auto http = std::make_unique<ServiceHttpServer>(
        [this](const QHttpServerRequest& request, QTcpSocket* socket) {
            HandleRequest(request, socket);
        });
    auto* listener = new RawRequestTcpServer(http.get());
    QString problem;
    bool listening = false;
    if (m_options.sharePort) {
        const qintptr fd = OpenSharedListeningSocket(address, port, problem);
        listening = fd >= 0 && listener->setSocketDescriptor(fd);
        if (fd >= 0 && !listening) {
            problem = listener->errorString();
            ::close(static_cast<int>(fd));
        }
    } else {
        listening = listener->listen(address, port);
        problem = listener->errorString();
    }
    if (!listening) {
        m_error = QStringLiteral("cannot listen on %1 port %2: %3")
                      .arg(address.toString())
                      .arg(port)
                      .arg(problem);
        return false;
    }
    listener->SetTimeouts(m_options.idleTimeoutMs, m_options.requestTimeoutMs);
    http->bind(listener);
    m_address = address;
    m_listener = listener;
    m_http = std::move(http);
    return true;
}

quint16 UpdateService::Port() const {
    return m_listener ? m_listener->serverPort() : 0;
}

QString UpdateService::BaseUrl() const {
    QString host = QStringLiteral("127.0.0.1");
    if (m_address == QHostAddress::LocalHostIPv6 || m_address == QHostAddress::AnyIPv6)
        host = QStringLiteral("[::1]");
    else if (m_address.protocol() == QAbstractSocket::IPv6Protocol)
        host = u'[' + m_address.toString() + u']';
    else if (!m_address.isNull() && m_address != QHostAddress::Any &&
             m_address != QHostAddress::AnyIPv4)
        host = m_address.toString();
    return QStringLiteral("http://%1:%2%3").arg(host).arg(Port()).arg(QLatin1String(kServicePath));
}

QString UpdateService::PublicBaseUrl() const {
    if (m_options.publicUrl.isEmpty())
        return BaseUrl();
    QString base = m_options.publicUrl;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + QLatin1String(kServicePath);
}

void UpdateService::HandleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QUrl url = request.url();
    QByteArray method;
    QByteArray target;
    // The recorded line is used when it belongs to this request, which it always should; the
    // decoded address is the fallback.
    const auto line = m_listener->TakeRequestLine(socket);
    if (line && QUrl::fromEncoded(line->target).path() == url.path()) {
        method = line->method;
        target = line->target;
    } else {
        method = MethodName(request.method());
        target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    }
    ReloadCatalogueIfChanged();
    m_stream.clear();
    Route(request, socket, method, target);
    if (line && line->close && !m_held.contains(socket))
        CloseWhenSent(socket);
}

void UpdateService::CloseWhenSent(QTcpSocket* socket) {
    // Closing waits for what the socket holds; a file still streaming must be read to its end.
    const QPointer<QIODevice> stream = m_stream;
    const QPointer<QTcpSocket> guard(socket);
    auto closeIfDone = [stream, guard] {
        if (guard && (!stream || stream->atEnd()))
            guard->disconnectFromHost();
    };
    if (!stream)
        return closeIfDone();
    connect(socket, &QTcpSocket::bytesWritten, socket, closeIfDone);
    connect(stream, &QObject::destroyed, socket, closeIfDone);
}

void UpdateService::Route(const QHttpServerRequest& request, QTcpSocket* socket,
                          const QByteArray& method, const QByteArray& target) {
    QHttpServerResponder responder = ServiceHttpServer::Responder(request, socket);
    auto answer = [&](const Answer& reply) {
        responder.write(reply.body, reply.contentType, reply.status);
        Log(method, target, QString::number(static_cast<int>(reply.status)) + reply.note);
    };
    const Answer notFound{StatusCode::NotFound, "text/html; charset=utf-8", kNotFoundPage};

    if (method != "GET") {
        responder.write(QByteArray(), {{"Allow", "GET"}}, StatusCode::MethodNotAllowed);
        Log(method, target, QString::number(static_cast<int>(StatusCode::MethodNotAllowed)));
        return;
    }
    const qsizetype question = target.indexOf('?');
    const QByteArray query = question < 0 ? QByteArray() : target.mid(question + 1);
    QByteArray path = question < 0 ? target : target.left(question);
    if (!path.startsWith('/')) // absolute form: "http://host:port/path"
        path = request.url().path(QUrl::FullyEncoded).toUtf8();

    const auto endpoint = After(path, QByteArray(kServicePath) + '/');
    if (!endpoint)
        return answer(notFound);
    if (endpoint->compare("CheckUpdate.aspx", Qt::CaseInsensitive) == 0) {
        if (m_options.hangCheck) {
            Hold(std::move(responder), socket);
            Log(method, target, QStringLiteral("-"));
            return;
        }
        return answer(CheckUpdate(query));
    }
    if (endpoint->compare("InitUpdate.aspx", Qt::CaseInsensitive) == 0)
        return answer(InitUpdate(request, query));

    const auto delta = After(*endpoint, "deltas/");
    const auto package = delta ? delta : After(*endpoint, "packages/");
    const auto page = After(*endpoint, "info/");
    if ((!package && !page) || (delta && m_deltas.Folder().isEmpty()))
        return answer(notFound);
    const QString folder = delta     ? m_deltas.Folder()
                           : package ? m_catalogue->PackagesFolder()
                                     : m_catalogue->InfoFolder();
    const std::optional<QString> file = PublishedFile(folder, package ? *package : *page);
    if (!file)
        return answer(notFound);
    const QByteArray type = page ? InfoContentType(*file) : "application/octet-stream";
    const StatusCode status =
        SendFile(responder, request, *file, type, package.has_value(), delta.has_value());
    Log(method, target, QString::number(static_cast<int>(status)));
}

// A signed answer is signed as it goes out: its expiry counts from then, not from the first time
// the answer was built.
UpdateService::Answer UpdateService::CheckAnswer(const CheckOutcome& outcome) const {
    return {StatusCode::Ok, "text/xml",
            m_options.signer ? m_options.signer->SignCheckAnswer(outcome.body) : outcome.body,
            outcome.note};
}

// What the log says about a query's offers: which messages, the rollout bucket of its licence
// key and its channel, so a vendor can follow a rollout in the log.
QString UpdateService::OfferNote(const QList<const CatalogueMessage*>& offers,
                                 const OfferRequest& request, std::optional<quint32> bucket) {
    QStringList ids;
    for (const CatalogueMessage* offer : offers)
        ids << offer->id;
    return QStringLiteral(" offered=%1 bucket=%2 channel=%3")
        .arg(ids.isEmpty() ? QStringLiteral("-") : ids.join(u','),
             bucket ? QString::number(RolloutBucket::Percentile(*bucket), 'f', 2)
                    : QStringLiteral("-"),
             request.testMode ? QStringLiteral("test") : QStringLiteral("release"));
}

// Agents send the same few queries again and again; each answer is built once.
UpdateService::Answer UpdateService::CheckUpdate(const QByteArray& query) {
    // An agent's query is a few hundred bytes: a longer one is answered, never kept, and what
    // is kept stays within a few MiB however many distinct queries arrive.
    constexpr qsizetype kMaxCachedAnswers = 4096;
    constexpr qsizetype kMaxCachedQueryBytes = 2048;
    constexpr qsizetype kMaxCachedBytes = 4 * 1024 * 1024;
    if (const auto found = m_checkAnswers.constFind(query); found != m_checkAnswers.cend())
        return CheckAnswer(*found);
    const ServiceQuery parameters(query);
    const OfferRequest request = OfferRequest::FromQuery(parameters);
    std::optional<quint32> bucket;
    const auto offers = m_catalogue->Offers(parameters.Value(u"ProductCode"), request, &bucket);
    const CheckOutcome outcome{BuildCheckResponse(offers), OfferNote(offers, request, bucket)};
    if (query.size() > kMaxCachedQueryBytes)
        return CheckAnswer(outcome);
    const qsizetype bytes = query.size() + outcome.body.size() + outcome.note.size() * 2;
    if (m_checkAnswers.size() >= kMaxCachedAnswers ||
        m_checkAnswerBytes + bytes > kMaxCachedBytes) {
        m_checkAnswers.clear();
        m_checkAnswerBytes = 0;
    }
    m_checkAnswers.insert(query, outcome);
    m_checkAnswerBytes += bytes;
    return CheckAnswer(outcome);
}

UpdateService::Answer UpdateService::InitUpdate(const QHttpServerRequest& /*request*/,
                                                const QByteArray& query) {
    const ServiceQuery parameters(query);
    const QString productCode = parameters.Value(u"ProductCode");
    const OfferRequest request = OfferRequest::FromQuery(parameters);
    std::optional<quint32> bucket;
    const auto offers = m_catalogue->Offers(productCode, request, &bucket);
    MessagePage page(m_catalogue->FindProduct(productCode), offers, PublicBaseUrl());
    page.SetSigner(m_options.signer.get());
    page.SetDeltas(&m_deltas);
    return {StatusCode::Ok, "text/html; charset=utf-8", page.Html(),
            OfferNote(offers, request, bucket)};
}

QByteArray UpdateService::InfoContentType(const QString& path) {
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QByteArray type = mime.name().toUtf8();
    if (mime.inherits(QStringLiteral("text/plain")))
        type += "; charset=utf-8";
    return type;
}

// The file of `folder` that `rawName` names, if it may be published: a plain file name (after
// decoding) of a regular file that really lies inside the folder. Anything that could climb out
// of the folder is refused.
std::optional<QString> UpdateService::PublishedFile(const QString& folder,
                                                    const QByteArray& rawName) const {
    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(rawName));
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(u'/') || name.contains(u'\\') ||
        name.contains(QChar(0)))
        return std::nullopt;
    const QFileInfo file(QDir(folder).filePath(name));
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (!file.isFile() || root.isEmpty() || !file.canonicalFilePath().startsWith(root + u'/'))
        return std::nullopt;
    return file.absoluteFilePath();
}

// The file goes out in pieces as the connection takes them, never read into memory as a whole;
// a range of it when the request asks for one of this version of the file.
QHttpServerResponder::StatusCode
UpdateService::SendFile(QHttpServerResponder& responder, const QHttpServerRequest& request,
                        const QString& path, const QByteArray& type, bool package, bool immutable) {
    const QFileInfo info(path);
    PackageRange range(info.size(), info.lastModified());
    range.Choose(request.value("Range"), request.value("If-Range"));
    const auto validators = [&] {
        responder.writeHeader("Accept-Ranges", "bytes");
        responder.writeHeader("ETag", range.ETag());
        responder.writeHeader("Last-Modified", range.LastModified());
    };
    if (range.kind() == PackageRange::Kind::Unsatisfiable) {
        responder.writeStatusLine(StatusCode::RequestRangeNotSatisfiable);
        validators();
        responder.writeHeader("Content-Range", range.ContentRange());
        responder.writeHeader("Content-Length", "0");
        responder.writeBody(QByteArray());
        return StatusCode::RequestRangeNotSatisfiable;
    }
    auto* stream =
        new PackageStream(path, responder.socket(), package ? m_options.packageBytesPerSecond : 0);
    stream->SetRange(range.first(), range.count());
    if (package && m_cutsLeft > 0) {
        --m_cutsLeft;
        stream->CutAfter(m_options.cutPackageAfterBytes);
    }
    if (!stream->open(QIODevice::ReadOnly)) {
        delete stream;
        responder.write(StatusCode::InternalServerError);
        return StatusCode::InternalServerError;
    }
    m_stream = stream;
    const bool partial = range.kind() == PackageRange::Kind::Partial;
    const StatusCode status = partial ? StatusCode::PartialContent : StatusCode::Ok;
    responder.writeStatusLine(status);
    validators();
    if (partial)
        responder.writeHeader("Content-Range", range.ContentRange());
    // A patch's name holds the hashes of both its ends: its bytes never change, caches may keep
    // it for good.
    if (immutable)
        responder.writeHeader("Cache-Control", "public, max-age=31536000, immutable");
    responder.writeHeader("Content-Length", QByteArray::number(range.count()));
    responder.writeHeader("Content-Type", type);
    responder.writeBody(QByteArray()); // the end of the header
    stream->SendTo();                  // the body follows as the connection takes it
    return status;
}

void UpdateService::Hold(QHttpServerResponder responder, QTcpSocket* socket) {
    if (!m_held.contains(socket)) {
        auto release = [this, socket] { m_held.erase(socket); };
        connect(socket, &QTcpSocket::disconnected, this, release);
        connect(socket, &QObject::destroyed, this, release);
    }
    m_held[socket] = std::make_unique<QHttpServerResponder>(std::move(responder));
}

// The catalogue is read again when catalogue.xml changes, so a vendor can edit it while the
// service runs. A changed file that does not load leaves the previous catalogue in service.
void UpdateService::ReloadCatalogueIfChanged() {
    const QFileInfo file(
        QDir(m_options.catalogueFolder).filePath(QLatin1String(Catalogue::kFileName)));
    if (m_catalogue && file.lastModified() == m_catalogueStamp && file.size() == m_catalogueSize)
        return;
    m_catalogueStamp = file.lastModified();
    m_catalogueSize = file.size();
    QString error;
    std::optional<Catalogue> loaded = Catalogue::Load(m_options.catalogueFolder, &error);
    if (!loaded) {
        m_error = error;
        if (m_catalogue)
            qWarning("update service: keeping the previous catalogue: %s", qPrintable(error));
        return;
    }
    m_catalogue = std::move(loaded);
    // Patches are made here, once per pair: a page only names what exists.
    if (m_options.deltaFolder.isEmpty() && !m_ownDeltaFolder &&
        DeltaPatches::Wanted(*m_catalogue)) {
        m_ownDeltaFolder = std::make_unique<QTemporaryDir>();
        m_options.deltaFolder = m_ownDeltaFolder->path();
    }
    QStringList warnings;
    m_deltas = DeltaPatches::Make(*m_catalogue, m_options.deltaFolder, &warnings);
    for (const QString& warning : warnings)
        qWarning("update service: %s", qPrintable(warning));
    m_checkAnswers.clear();
    m_checkAnswerBytes = 0;
    m_error.clear();
}

void UpdateService::Log(const QByteArray& method, const QByteArray& target, const QString& status) {
    if (!m_options.log && !m_options.recordRequests)
        return;
    const QString line = QStringLiteral("%1 %2 %3")
                             .arg(QString::fromUtf8(method), QString::fromUtf8(target), status);
    if (m_options.log) {
        // The line and its end in one piece: the stream writes its buffer out whenever it is
        // full, and workers share stdout, so a line cut there would be joined to another
        // worker's batch.
        *m_options.log << line + u'\n';
        if (!m_options.bufferLog) {
            m_options.log->flush();
        } else if (!m_logFlush) {
            constexpr int kFlushIntervalMs = 200;
            m_logFlush = new QTimer(this);
            connect(m_logFlush, &QTimer::timeout, this, [this] { m_options.log->flush(); });
            m_logFlush->start(kFlushIntervalMs);
        }
    }
    if (m_options.recordRequests) {
        m_requestLog.append(line);
        if (m_requestLog.size() > std::max(0, m_options.maxLoggedRequests))
            m_requestLog.removeFirst();
        emit RequestLogged(line);
    }
}

} // namespace KDAutoUpdate
