#pragma once
// The download control on Qt: a DownloadSession over a QtDownloadTransport, into the agent's
// per-user download folder, within the bounds of NetworkLimits.
//
// The name comes from the address's last path segment, made safe for the folder and for an
// unquoted command line. The transfer itself (the partial file and its resume record, retries,
// progress, the events) is the session's; see platform/portable/DownloadSession.h.

#include <memory>
#include <string>
#include <vector>

#include "platform/Downloader.h"
#include "platform/NetworkLimits.h"

namespace KDAutoUpdate {

class DownloadSession;
class QtDownloadTransport;
class QtEventLoop;

class QtDownloader : public IDownloader {
public:
    // `folder`: where finished files go; empty for the per-user default. A folder whose path a
    // command line cannot carry unquoted is replaced by one under `fallbackRoot`.
    explicit QtDownloader(std::string folder = {}, NetworkLimits limits = {},
                          const std::string& fallbackRoot = "/var/tmp");
    // A transfer still running is aborted without an event; what it wrote stays to be resumed.
    ~QtDownloader() override;
    QtDownloader(const QtDownloader&) = delete;
    QtDownloader& operator=(const QtDownloader&) = delete;

    void SetEvents(IDownloadEvents* events) override;
    void KeepFiles(std::vector<std::string> paths) override;
    void SetProduct(const std::string& productCode) override;
    // False when a transfer runs or its completion has not been delivered yet, when the
    // address is not http or https, or when the download folder cannot be prepared.
    bool BeginDownload(const std::string& url, const std::string& key) override;
    // Ends the running transfer when `key` is its key, without an event; what arrived stays
    // for the next transfer of the same address.
    void CancelDownload(const std::string& key) override;
    bool IsBusy() const override;
    std::string LocalFile() const override;
    // Body bytes the last transfer took from the network, over all its tries.
    long long FetchedBytes() const;

    const std::string& Folder() const { return m_folder; }

    // $XDG_CACHE_HOME/kdautoupdate/downloads, or ~/.cache/kdautoupdate/downloads.
    static std::string DefaultFolder();
    // The local file name for an address: its last path segment, percent-decoded, made safe
    // by DownloadFolder::SafeFileName.
    static std::string SafeFileName(const std::string& url);

private:
    std::string m_folder;
    NetworkLimits m_limits;
    std::string m_product;
    std::unique_ptr<QtEventLoop> m_loop;
    std::unique_ptr<QtDownloadTransport> m_transport;
    // Last: it ends before the transport it uses.
    std::unique_ptr<DownloadSession> m_session;
};

} // namespace KDAutoUpdate
