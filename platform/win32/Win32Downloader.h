#pragma once
// The download control on Windows: a DownloadSession over a Win32DownloadTransport (WinHTTP),
// into the agent's download folder (Win32DownloadFolder), within the bounds of NetworkLimits.
//
// The name is the address's last path segment made safe (DownloadFolder::SafeFileName). The
// transfer itself (the partial file and its resume record, retries, progress, the events, as on
// every system) is the session's; see platform/portable/DownloadSession.h.

#include <memory>
#include <string>
#include <vector>

#include "platform/Downloader.h"
#include "platform/NetworkLimits.h"

namespace KDAutoUpdate {

class DownloadSession;
class Win32DownloadTransport;
class Win32EventLoop;

class Win32Downloader : public IDownloader {
public:
    // `folder`: where finished files go; empty for the per-user default. The loop must
    // outlive the downloader.
    explicit Win32Downloader(Win32EventLoop& loop, std::string folder = {},
                             NetworkLimits limits = {});
    // A transfer still running is aborted without an event; what it wrote stays to be resumed.
    ~Win32Downloader() override;
    Win32Downloader(const Win32Downloader&) = delete;
    Win32Downloader& operator=(const Win32Downloader&) = delete;

    void SetEvents(IDownloadEvents* events) override;
    void KeepFiles(std::vector<std::string> paths) override;
    void SetProduct(const std::string& productCode) override;
    // False when a transfer runs or its completion has not been delivered yet, when the
    // address is not http or https, or when the download folder cannot be prepared.
    bool BeginDownload(const std::string& url, const std::string& key) override;
    void CancelDownload(const std::string& key) override;
    bool IsBusy() const override;
    std::string LocalFile() const override;
    // Body bytes the last transfer took from the network, over all its tries.
    long long FetchedBytes() const;

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_product;
    std::unique_ptr<Win32DownloadTransport> m_transport;
    // Last: it ends before the transport it uses.
    std::unique_ptr<DownloadSession> m_session;
};

} // namespace KDAutoUpdate
