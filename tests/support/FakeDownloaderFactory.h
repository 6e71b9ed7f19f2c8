#pragma once
// Makes FakeDownloaders that share one log, so a test can read what the dialog asked for after
// the dialog (and its control) is gone, and scripts each new transfer with OnBegin.

#include <functional>
#include <memory>

#include "platform/Downloader.h"
#include "tests/support/FakeDownloader.h"

namespace KDAutoUpdate {

class FakeDownloaderFactory : public IDownloaderFactory {
public:
    explicit FakeDownloaderFactory(VirtualEventLoop& loop) : m_loop(loop) {}
    FakeDownloaderFactory(const FakeDownloaderFactory&) = delete;
    FakeDownloaderFactory& operator=(const FakeDownloaderFactory&) = delete;

    std::unique_ptr<IDownloader> CreateDownloader() override {
        auto downloader = std::make_unique<FakeDownloader>(m_loop, m_log, m_onBegin);
        downloader->SetBeginResult(m_beginResult);
        ++m_created;
        return downloader;
    }

    // Runs for every transfer a control of this factory accepts, right after BeginDownload
    // accepted it, with the control to script (its scripts arrive later through the loop).
    void OnBegin(FakeDownloader::Script script) { *m_onBegin = std::move(script); }
    // Answer of BeginDownload for controls made from now on.
    void SetBeginResult(bool accepted) { m_beginResult = accepted; }

    const FakeDownloadLog& Log() const { return *m_log; }
    int CreatedCount() const { return m_created; }

private:
    VirtualEventLoop& m_loop;
    std::shared_ptr<FakeDownloadLog> m_log = std::make_shared<FakeDownloadLog>();
    std::shared_ptr<FakeDownloader::Script> m_onBegin = std::make_shared<FakeDownloader::Script>();
    bool m_beginResult = true;
    int m_created = 0;
};

} // namespace KDAutoUpdate
