#pragma once
// The download control on QNetworkAccessManager: one transfer at a time of an http or https
// address into the agent's per-user download folder, within the bounds of NetworkLimits.
//
// The body streams into "<name>.part" as it arrives and is renamed to its final name only
// after the whole transfer succeeded, so an older file of that name stays intact until then.
// The name comes from the address's last path segment, made safe for the folder and for an
// unquoted command line. Redirects as QtRedirectGuard allows; HTTPS is verified by Qt's
// defaults. Each new transfer first tidies the folder (DownloadFolder::Tidy).
//
// Events: DownloadProgress every quarter second while the transfer runs (the rate a moving
// average, so it also falls while nothing arrives), then one report of 100%, then
// DownloadComplete with the file's path; or only DownloadComplete("") when the transfer failed
// or was cancelled. Both arrive from the event loop, never inside a call of this class, and
// IsBusy() is already false when they do.

#include <memory>
#include <string>
#include <vector>

#include "platform/Downloader.h"
#include "platform/NetworkLimits.h"

class QNetworkAccessManager;
class QObject;

namespace KDAutoUpdate {

class QtDownloader : public IDownloader {
public:
    // `folder`: where finished files go; empty for the per-user default. A folder whose path a
    // command line cannot carry unquoted is replaced by one under `fallbackRoot`.
    explicit QtDownloader(std::string folder = {}, NetworkLimits limits = {},
                          const std::string& fallbackRoot = "/var/tmp");
    // A transfer still running is aborted without an event and its partial file removed.
    ~QtDownloader() override;
    QtDownloader(const QtDownloader&) = delete;
    QtDownloader& operator=(const QtDownloader&) = delete;

    void SetEvents(IDownloadEvents* events) override;
    void KeepFiles(std::vector<std::string> paths) override;
    void SetProduct(const std::string& productCode) override;
    // False when a transfer runs or its completion has not been delivered yet, when the
    // address is not http or https, or when the download folder cannot be prepared.
    bool BeginDownload(const std::string& url, const std::string& key) override;
    // Ends the running transfer when `key` is its key; DownloadComplete("") follows.
    void CancelDownload(const std::string& key) override;
    bool IsBusy() const override;
    std::string LocalFile() const override;

    const std::string& Folder() const { return m_folder; }

    // $XDG_CACHE_HOME/kdautoupdate/downloads, or ~/.cache/kdautoupdate/downloads.
    static std::string DefaultFolder();
    // The local file name for an address: its last path segment, percent-decoded, made safe
    // by DownloadFolder::SafeFileName.
    static std::string SafeFileName(const std::string& url);

private:
    struct Transfer;

    void OnMetaData();
    void OnReadyRead();
    void OnFinished();
    void OnTick();
    // Ends the transfer: the file is kept (renamed into place) only when `success` holds and
    // everything that follows works; the outcome is then posted to the loop.
    void End(bool success);
    // Stops the timer and the network side of a transfer.
    void Release(Transfer& transfer);
    // Releases a transfer and removes its partial file; no event.
    void Discard(Transfer& transfer);
    bool Keep(Transfer& transfer);
    void Deliver(const std::string& value, bool finalReport, long long received, long long total,
                 long long rate);

    std::string m_folder;
    NetworkLimits m_limits;
    std::vector<std::string> m_keep;
    std::string m_product;
    IDownloadEvents* m_events = nullptr;
    std::string m_localFile;
    bool m_completionPending = false;
    std::unique_ptr<Transfer> m_transfer;
    std::vector<char> m_buffer;
    // Queued deliveries and connections die with this object.
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    // Lets a delivery notice when a handler destroyed the downloader.
    std::shared_ptr<bool> m_alive;
};

} // namespace KDAutoUpdate
