#pragma once
// A scripted download control (made by FakeDownloaderFactory): reports and the completion
// arrive through the virtual loop's posted tasks, never inside a call, as with the real one.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Downloader.h"

namespace KDAutoUpdate {

class VirtualEventLoop;

// What every control of one factory was asked; it outlives the controls.
struct FakeDownloadLog {
    struct Begin {
        std::string url;
        std::string key;
        // What it was told to keep and which product it was for, when the transfer began.
        std::vector<std::string> kept;
        std::string product;
    };
    std::vector<Begin> begins;
    // Keys CancelDownload was called with, whether or not a transfer ran.
    std::vector<std::string> cancels;
};

class FakeDownloader : public IDownloader {
public:
    using Script = std::function<void(FakeDownloader&)>;

    FakeDownloader(VirtualEventLoop& loop, std::shared_ptr<FakeDownloadLog> log,
                   std::weak_ptr<Script> onBegin);
    ~FakeDownloader() override;
    FakeDownloader(const FakeDownloader&) = delete;
    FakeDownloader& operator=(const FakeDownloader&) = delete;

    void SetEvents(IDownloadEvents* events) override { m_events = events; }
    void KeepFiles(std::vector<std::string> paths) override { m_keep = std::move(paths); }
    void SetProduct(const std::string& productCode) override { m_product = productCode; }
    // Starts a transfer unless SetBeginResult(false) was said or one runs.
    bool BeginDownload(const std::string& url, const std::string& key) override;
    // Ends the running transfer of that key quietly, as the real control does.
    void CancelDownload(const std::string& key) override;
    bool IsBusy() const override { return m_busyOverride.value_or(m_running); }
    std::string LocalFile() const override { return m_localFile; }

    // Scripts, each delivered after `afterMs` of virtual time (0: at the next posted task).
    // Reports and ends that would arrive after the transfer already ended are dropped.
    void EmitProgress(long long percent, long long rate, long long remaining, long long received,
                      long long total, long long afterMs = 0);
    // IsBusy false, LocalFile `localPath` (empty: failed), then DownloadComplete(`localPath`).
    void Finish(const std::string& localPath, long long afterMs = 0) { End(localPath, afterMs); }
    void Fail(long long afterMs = 0) { End({}, afterMs); }

    void SetBeginResult(bool accepted) { m_beginResult = accepted; }
    // A fixed answer of IsBusy (a control that still reports a transfer at its end).
    void SetBusy(std::optional<bool> busy) { m_busyOverride = busy; }

private:
    void Post(long long afterMs, std::function<void()> task);
    void End(const std::string& localPath, long long afterMs);

    VirtualEventLoop& m_loop;
    std::shared_ptr<FakeDownloadLog> m_log;
    std::weak_ptr<Script> m_onBegin;
    IDownloadEvents* m_events = nullptr;
    std::vector<std::string> m_keep;
    std::string m_product;
    bool m_beginResult = true;
    std::optional<bool> m_busyOverride;
    bool m_running = false;
    // Counts transfers, so scripts of an ended transfer do nothing.
    int m_generation = 0;
    std::string m_key;
    std::string m_localFile;
    // Tasks still queued in the loop when this control ends do nothing.
    std::shared_ptr<FakeDownloader*> m_self;
};

} // namespace KDAutoUpdate
