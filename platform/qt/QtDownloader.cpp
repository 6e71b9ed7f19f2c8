#include "platform/qt/QtDownloader.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

#include "platform/portable/DownloadSession.h"
#include "platform/qt/DownloadFolder.h"
#include "platform/qt/QtDownloadTransport.h"
#include "platform/qt/QtEventLoop.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {

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

} // namespace

QtDownloader::QtDownloader(std::string folder, NetworkLimits limits,
                           const std::string& fallbackRoot)
    : m_folder(DownloadFolder::Choose(folder.empty() ? DefaultFolder() : folder, fallbackRoot)),
      m_limits(limits), m_loop(std::make_unique<QtEventLoop>()),
      m_transport(std::make_unique<QtDownloadTransport>(limits)),
      m_session(std::make_unique<DownloadSession>(*m_loop, *m_transport, limits, true)) {}

QtDownloader::~QtDownloader() {
    m_session.reset();
    m_transport.reset();
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
    m_session->SetEvents(events);
}

void QtDownloader::KeepFiles(std::vector<std::string> paths) {
    m_session->KeepFiles(std::move(paths));
}

void QtDownloader::SetProduct(const std::string& productCode) {
    m_product = productCode;
}

bool QtDownloader::IsBusy() const {
    return m_session->IsBusy();
}

std::string QtDownloader::LocalFile() const {
    return m_session->LocalFile();
}

long long QtDownloader::FetchedBytes() const {
    return m_session->FetchedBytes();
}

bool QtDownloader::BeginDownload(const std::string& url, const std::string& key) {
    if (m_session->IsBusy() || !QCoreApplication::instance())
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
        const fs::path target = folder / SafeFileName(url);
        // The name must stay inside the folder whatever the address said.
        if (fs::weakly_canonical(target.parent_path(), error) != folder || error)
            return false;
        return m_session->Begin(url, key, target);
    } catch (...) {
        return false;
    }
}

void QtDownloader::CancelDownload(const std::string& key) {
    m_session->Cancel(key);
}

} // namespace KDAutoUpdate
