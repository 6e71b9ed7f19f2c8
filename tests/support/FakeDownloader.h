#pragma once
// A scripted download control. The test decides what the transfer reports and how it ends;
// every report and the completion arrive through the virtual loop's posted tasks, never
// inside a call of the control, as with the real one. Made by FakeDownloaderFactory:
//
//   FakeDownloaderFactory downloads(tp.loop());
//   tp.platform().downloads = &downloads;
//   downloads.OnBegin([](FakeDownloader& d) {
//       d.EmitProgress(50, 1024, 3, 512, 1024);
//       d.Finish("/tmp/pkg.sh", 100);
//   });

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Downloader.h"

namespace KDAutoUpdate {

class VirtualEventLoop;

// What every control of one factory was asked; it outlives the controls, which the dialogs
// destroy.
struct FakeDownloadLog {
    struct Begin {
        std::string url;
        std::string key;
        // What the control was told to keep when the transfer began.
        std::vector<std::string> kept;
        // The product it was told the package belongs to.
        std::string product;
    };
    std::vector<Begin> begins;
    // Keys CancelDownload was called with, whether or not a transfer ran.
    std::vector<std::string> cancels;
};

class FakeDownloader : public IDownloader {
public:
    using Script = std::function<void(FakeDownloader&)>;

    // `onBegin` scripts each transfer the control accepts, while its owner keeps it.
    FakeDownloader(VirtualEventLoop& loop, std::shared_ptr<FakeDownloadLog> log,
                   std::weak_ptr<Script> onBegin);
    ~FakeDownloader() override;
    FakeDownloader(const FakeDownloader&) = delete;
    FakeDownloader& operator=(const FakeDownloader&) = delete;

    // IDownloader
    void SetEvents(IDownloadEvents* events) override { m_events = events; }
    void KeepFiles(std::vector<std::string> paths) override { m_keep = std::move(paths); }
    void SetProduct(const std::string& productCode) override { m_product = productCode; }
    // Records the call; starts a transfer unless SetBeginResult(false) was said or a transfer
    // runs.
    bool BeginDownload(const std::string& url, const std::string& key) override;
    // Records the key; ends the running transfer of that key quietly, as the real control does.
    void CancelDownload(const std::string& key) override;
    bool IsBusy() const override { return m_busyOverride.value_or(m_running); }
    std::string LocalFile() const override { return m_localFile; }

    // Scripts, each delivered after `afterMs` of virtual time (0: at the next posted task).
    // Reports and ends that would arrive after the transfer already ended are dropped.
    void EmitProgress(long long percent, long long rate, long long remaining, long long received,
                      long long total, long long afterMs = 0);
    // Success: IsBusy false, LocalFile `localPath`, then DownloadComplete(`localPath`).
    void Finish(const std::string& localPath, long long afterMs = 0) { End(localPath, afterMs); }
    // Failure: IsBusy false, LocalFile empty, then DownloadComplete("").
    void Fail(long long afterMs = 0) { End({}, afterMs); }

    // Settings.
    void SetBeginResult(bool accepted) { m_beginResult = accepted; }
    // A fixed answer of IsBusy (for a control that still reports a transfer at its end);
    // nullopt follows the transfer.
    void SetBusy(std::optional<bool> busy) { m_busyOverride = busy; }

private:
    void Post(long long afterMs, std::function<void()> task);
    // Ends the running transfer with `localPath` (empty: failed) after `afterMs`.
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
