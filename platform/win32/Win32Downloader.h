#pragma once
// The download control on WinHTTP: one transfer at a time of an http or https address into
// the agent's download folder (Win32DownloadFolder), within the bounds of NetworkLimits.
//
// WinHTTP runs asynchronously; its notifications arrive on its own threads and are posted to
// the agent's loop, where everything else happens: the body streams into "<name>.part" and is
// renamed to its final name only after the whole transfer succeeded. The name is the
// address's last path segment made safe (DownloadFolder::SafeFileName). Redirects are followed
// here, not by WinHTTP, as Win32DownloadAddress allows. A package must announce its size and
// arrive whole. Each request (a redirect's too) takes the proxy the user's Internet settings
// choose for its address (Win32UserProxy).
//
// Events, as on every system: DownloadProgress every quarter second while the transfer runs,
// then one report of 100%, then DownloadComplete with the file's path; or only
// DownloadComplete("") when it failed. A cancelled transfer ends without an event. Both arrive
// from the loop, never inside a call of this class, and IsBusy() is already false when they do.

#include <memory>
#include <string>
#include <vector>

#include "platform/Downloader.h"
#include "platform/NetworkLimits.h"
#include "platform/win32/Win32UserProxy.h"

namespace KDAutoUpdate {

class Win32EventLoop;
struct Win32DownloadAddress;

class Win32Downloader : public IDownloader {
public:
    // `folder`: where finished files go; empty for the per-user default. The loop must
    // outlive the downloader.
    explicit Win32Downloader(Win32EventLoop& loop, std::string folder = {},
                             NetworkLimits limits = {});
    // A transfer still running is aborted without an event and its partial file removed.
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

    const std::string& Folder() const { return m_folder; }

private:
    struct Channel;
    struct Transfer;

    bool StartRequest(const Win32DownloadAddress& address);
    void OnStatus(unsigned serial, unsigned long status, unsigned long value);
    void OnHeaders();
    void Read();
    void OnDataAvailable(unsigned long bytes);
    void OnRead(unsigned long bytes);
    void OnTick();
    // Ends the transfer: the file is kept (renamed into place) only when `success` holds and
    // the rename works; the outcome is then posted to the loop.
    void End(bool success);
    void CloseRequest(Transfer& transfer);
    // Closes the request and removes the partial file; no event.
    void Discard(Transfer& transfer);
    bool Keep(Transfer& transfer);
    void Deliver(const std::string& value, bool finalReport, long long received, long long total,
                 long long rate);

    Win32EventLoop& m_loop;
    std::string m_folder;
    NetworkLimits m_limits;
    std::vector<std::string> m_keep;
    std::string m_product;
    IDownloadEvents* m_events = nullptr;
    std::string m_localFile;
    bool m_completionPending = false;
    void* m_session = nullptr; // the WinHTTP session, asynchronous, with the machine's proxy
    Win32UserProxy m_proxy;    // sessions with the user's proxy, as pages have it
    std::unique_ptr<Transfer> m_transfer;
    unsigned m_serial = 0; // of the current request: notifications of older ones are dropped
    // Posted notifications and deliveries find the downloader through this; null once it died.
    std::shared_ptr<Win32Downloader*> m_self;
};

} // namespace KDAutoUpdate
