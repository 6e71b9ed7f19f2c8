#include "platform/qt/QtDownloader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

#include "platform/portable/TransferMeter.h"
#include "platform/qt/DownloadFolder.h"
#include "platform/qt/QtRedirectGuard.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {

constexpr int kReportIntervalMs = 250;
constexpr std::size_t kChunkSize = 256 * 1024;
// Bytes Qt may hold for the reply before it pauses reading the socket.
constexpr qint64 kReadBufferSize = 4 * 1024 * 1024;
// An error page longer than this is not read to its end.
constexpr long long kMaxDiscardedBytes = 1024 * 1024;
constexpr const char* kPartSuffix = ".part";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// Creates `folder` and its missing parents; the ones made here are private to the user.
bool MakePrivateFolder(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && !fs::exists(p, error); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        fs::create_directory(*it, error);
        if (error)
            return false;
        fs::permissions(*it, fs::perms::owner_all, fs::perm_options::replace, error);
    }
    return fs::is_directory(folder, error);
}

bool StartsAsProgram(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof head);
    const std::streamsize got = in.gcount();
    return (got >= 2 && head[0] == '#' && head[1] == '!') ||
           (got == 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
}

bool IsSuccessStatus(int status) {
    return status >= 200 && status < 300;
}

// The package's size from a successful answer; -1 for no size (or no package yet).
long long AnnouncedLength(const QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
    if (!status.isValid() || !IsSuccessStatus(status.toInt()) || !length.isValid())
        return -1;
    return length.toLongLong();
}

} // namespace

// One running transfer: the network reply, the partial file and the rate measurement.
struct QtDownloader::Transfer {
    std::string key;
    fs::path partPath;
    fs::path finalPath;
    QPointer<QNetworkReply> reply;
    QFile part;
    QTimer tick;
    QElapsedTimer clock;
    long long received = 0;
    long long discarded = 0;
    long long total = -1; // -1 until the answer tells
    TransferMeter meter;
};

QtDownloader::QtDownloader(std::string folder, NetworkLimits limits,
                           const std::string& fallbackRoot)
    : m_folder(DownloadFolder::Choose(folder.empty() ? DefaultFolder() : folder, fallbackRoot)),
      m_limits(limits), m_buffer(kChunkSize), m_context(std::make_unique<QObject>()),
      m_manager(std::make_unique<QNetworkAccessManager>()), m_alive(std::make_shared<bool>(true)) {}

QtDownloader::~QtDownloader() {
    m_context.reset();
    if (m_transfer)
        Discard(*m_transfer);
    m_transfer.reset();
    m_manager.reset();
}

std::string QtDownloader::DefaultFolder() {
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        cache = xdg;
    else
        cache = fs::path(HomeFolder()) / ".cache";
    return (cache / "kdautoupdate" / "downloads").string();
}

std::string QtDownloader::SafeFileName(const std::string& url) {
    const QUrl address(QString::fromStdString(url));
    const QString encodedPath = address.path(QUrl::FullyEncoded);
    const QString segment = encodedPath.mid(encodedPath.lastIndexOf(u'/') + 1);
    const QByteArray decoded = QByteArray::fromPercentEncoding(segment.toLatin1());
    return DownloadFolder::SafeFileName(decoded.toStdString());
}

void QtDownloader::SetEvents(IDownloadEvents* events) {
    m_events = events;
}

void QtDownloader::KeepFiles(std::vector<std::string> paths) {
    m_keep = std::move(paths);
}

void QtDownloader::SetProduct(const std::string& productCode) {
    m_product = productCode;
}

bool QtDownloader::IsBusy() const {
    return m_transfer != nullptr;
}

std::string QtDownloader::LocalFile() const {
    return m_localFile;
}

bool QtDownloader::BeginDownload(const std::string& url, const std::string& key) {
    if (m_transfer || m_completionPending || !QCoreApplication::instance())
        return false;
    try {
        const QUrl address(QString::fromStdString(url));
        const QString scheme = address.scheme().toLower();
        const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
        if (!address.isValid() || !web || address.host().isEmpty())
            return false;

        std::error_code error;
        const std::string productFolder = DownloadFolder::ProductFolder(m_folder, m_product);
        if (productFolder.empty() || !MakePrivateFolder(productFolder))
            return false;
        const fs::path folder = fs::canonical(productFolder, error);
        if (error)
            return false;
        const std::string name = SafeFileName(url);
        std::vector<std::string> keep = m_keep;
        keep.push_back(name);
        DownloadFolder::Tidy(folder.string(), m_limits, keep);
        auto transfer = std::make_unique<Transfer>();
        transfer->key = key;
        transfer->finalPath = folder / name;
        transfer->partPath = folder / (name + kPartSuffix);
        // Both names must stay inside the folder whatever the address said.
        for (const fs::path& p : {transfer->finalPath, transfer->partPath})
            if (fs::weakly_canonical(p.parent_path(), error) != folder || error)
                return false;
        // A left-over partial file (or a link planted in its place) is replaced, never
        // written through.
        fs::remove(transfer->partPath, error);
        transfer->part.setFileName(QString::fromStdString(transfer->partPath.string()));
        if (!transfer->part.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return false;

        QNetworkRequest request(address);
        QtRedirectGuard::Prepare(request, m_limits);
        // The package's own bytes: no transparent decompression, so sizes match.
        request.setRawHeader("Accept-Encoding", "identity");
        request.setTransferTimeout(std::max(0, m_limits.stallTimeoutMs));
        QNetworkReply* reply = m_manager->get(request);
        if (!reply) {
            Discard(*transfer);
            return false;
        }
        QtRedirectGuard::Watch(reply);
        reply->setReadBufferSize(kReadBufferSize);
        transfer->reply = reply;
        QObject* context = m_context.get();
        QObject::connect(reply, &QNetworkReply::metaDataChanged, context, [this] { OnMetaData(); });
        QObject::connect(reply, &QNetworkReply::readyRead, context, [this] { OnReadyRead(); });
        QObject::connect(reply, &QNetworkReply::finished, context, [this] { OnFinished(); });
        transfer->tick.setInterval(kReportIntervalMs);
        QObject::connect(&transfer->tick, &QTimer::timeout, context, [this] { OnTick(); });
        transfer->clock.start();
        transfer->tick.start();
        m_localFile.clear();
        m_transfer = std::move(transfer);
        return true;
    } catch (...) {
        return false;
    }
}

void QtDownloader::CancelDownload(const std::string& key) {
    // A cancelled transfer ends quietly: whoever cancelled it knows, and must not be told
    // that it failed.
    if (m_transfer && m_transfer->key == key) {
        std::unique_ptr<Transfer> transfer = std::move(m_transfer);
        Discard(*transfer);
        m_localFile.clear();
    }
}

void QtDownloader::OnMetaData() {
    // Qt may report the headers more than once around a redirect; the latest count.
    if (m_transfer && m_transfer->reply)
        m_transfer->total = AnnouncedLength(*m_transfer->reply);
}

void QtDownloader::OnReadyRead() {
    if (!m_transfer || !m_transfer->reply)
        return;
    QNetworkReply& reply = *m_transfer->reply;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool body = !status.isValid() || IsSuccessStatus(status.toInt());
    for (;;) {
        const qint64 got = reply.read(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
        if (got <= 0)
            break;
        if (!body) {
            // An error page or a redirect's body: never part of the file.
            m_transfer->discarded += got;
            if (m_transfer->discarded > kMaxDiscardedBytes)
                return End(false);
            continue;
        }
        // Qt itself reads no further than an announced size; without one, endless data must
        // not fill the disk.
        if (AnnouncedLength(reply) < 0 &&
            m_transfer->received + got > m_limits.maxUnsizedPackageBytes)
            return End(false);
        if (m_transfer->part.write(m_buffer.data(), got) != got)
            return End(false); // disk full or gone
        m_transfer->received += got;
    }
}

void QtDownloader::OnFinished() {
    if (!m_transfer || !m_transfer->reply)
        return;
    OnReadyRead();
    if (!m_transfer)
        return;
    QNetworkReply& reply = *m_transfer->reply;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = !status.isValid() || IsSuccessStatus(status.toInt());
    // A connection dropped before the announced size must not pass for a complete file.
    m_transfer->total = AnnouncedLength(reply);
    const bool whole = m_transfer->total < 0 || m_transfer->received == m_transfer->total;
    End(answered && whole && reply.error() == QNetworkReply::NoError);
}

void QtDownloader::OnTick() {
    if (!m_transfer)
        return;
    Transfer& t = *m_transfer;
    const long long now = t.clock.elapsed();
    if (!t.meter.Sample(now, t.received, m_limits))
        return End(false);
    if (!m_events)
        return;
    const TransferMeter::Progress p = t.meter.Report(t.received, t.total);
    m_events->DownloadProgress(0, p.percent, p.rate, p.remaining, t.received, p.total, 0);
}

void QtDownloader::Release(Transfer& transfer) {
    transfer.tick.stop();
    if (QNetworkReply* reply = transfer.reply.data()) {
        // Only this object's connections go; Qt keeps its own on the reply.
        if (m_context)
            QObject::disconnect(reply, nullptr, m_context.get(), nullptr);
        if (!reply->isFinished())
            reply->abort();
        reply->deleteLater();
    }
    transfer.reply.clear();
}

void QtDownloader::Discard(Transfer& transfer) {
    Release(transfer);
    transfer.part.close();
    std::error_code error;
    fs::remove(transfer.partPath, error);
}

bool QtDownloader::Keep(Transfer& transfer) {
    Release(transfer);
    const bool written = transfer.part.flush() && transfer.part.error() == QFileDevice::NoError;
    transfer.part.close();
    std::error_code error;
    if (!written || (fs::rename(transfer.partPath, transfer.finalPath, error), error)) {
        fs::remove(transfer.partPath, error);
        return false;
    }
    // The deployment starts the package as a program: scripts and ELF files get to run.
    if (StartsAsProgram(transfer.finalPath))
        fs::permissions(transfer.finalPath, fs::perms::owner_exec, fs::perm_options::add, error);
    return true;
}

void QtDownloader::End(bool success) {
    std::unique_ptr<Transfer> transfer = std::move(m_transfer);
    if (!transfer)
        return;
    bool kept = false;
    if (success)
        kept = Keep(*transfer);
    else
        Discard(*transfer);
    const long long rate = transfer->meter.FinalRate(transfer->received, transfer->clock.elapsed());
    m_localFile = kept ? transfer->finalPath.string() : std::string();
    const long long total = transfer->total > 0 ? transfer->total : transfer->received;
    Deliver(m_localFile, kept, transfer->received, total, rate);
}

void QtDownloader::Deliver(const std::string& value, bool finalReport, long long received,
                           long long total, long long rate) {
    m_completionPending = true;
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, value, finalReport, received, total, rate] {
            m_completionPending = false;
            const std::weak_ptr<bool> alive = m_alive;
            if (finalReport && m_events)
                m_events->DownloadProgress(0, 100, rate, 0, received, total, 0);
            if (!alive.expired() && m_events)
                m_events->DownloadComplete(value);
        },
        Qt::QueuedConnection);
}

} // namespace KDAutoUpdate
