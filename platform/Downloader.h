#pragma once
// The download control of the download dialog: one asynchronous transfer at a time.

#include <memory>
#include <string>
#include <vector>

namespace KDAutoUpdate {

class IDownloadEvents {
public:
    virtual ~IDownloadEvents() = default;
    // Seven values: unused, percent done, rate in bytes/s, remaining time in seconds, bytes
    // received, bytes in total (0 when unknown), unused.
    virtual void DownloadProgress(long long unused1, long long percent, long long rate,
                                  long long remaining, long long received, long long total,
                                  long long unused2) = 0;
    // Raised once when the transfer ends; `value` is the path of the transferred file (empty
    // when it failed).
    virtual void DownloadComplete(const std::string& value) = 0;
};

class IDownloader {
public:
    virtual ~IDownloader() = default;
    virtual void SetEvents(IDownloadEvents* events) = 0;
    // Files that the folder's tidying before each later transfer must leave alone, whatever
    // their age or number (full paths; those outside the download folder do not matter): the
    // packages that recorded updates still have to start.
    virtual void KeepFiles(std::vector<std::string> paths) = 0;
    // The product whose packages the next transfers fetch. Each product's packages go into a
    // folder of their own, so that the tidying before a transfer counts and ages only that
    // product's packages and never another's. Empty: the download folder itself.
    virtual void SetProduct(const std::string& productCode) = 0;
    [[nodiscard]] virtual bool BeginDownload(const std::string& url, const std::string& key) = 0;
    // Stops the transfer started under `key`; no DownloadComplete follows a cancelled transfer.
    // What arrived stays for the next transfer of the same address, which resumes from there.
    virtual void CancelDownload(const std::string& key) = 0;
    virtual bool IsBusy() const = 0;
    // After the end of a transfer: the full path of the local file; empty after a failure.
    virtual std::string LocalFile() const = 0;
};

class IDownloaderFactory {
public:
    virtual ~IDownloaderFactory() = default;
    virtual std::unique_ptr<IDownloader> CreateDownloader() = 0;
};

} // namespace KDAutoUpdate
