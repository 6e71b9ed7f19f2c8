#pragma once
// Makes FakeDownloaders that share one log, so a test can read what the dialog asked for after
// the dialog (and its control) is gone, and scripts each new transfer with OnBegin.

#include <functional>
#include <memory>

#include "platform/Downloader.h"
#include "tests/support/FakeDownloader.h"

namespace KDAutoUpdate {

class VirtualEventLoop;

class FakeDownloaderFactory : public IDownloaderFactory {
public:
    explicit FakeDownloaderFactory(VirtualEventLoop& loop);
    ~FakeDownloaderFactory() override;
    FakeDownloaderFactory(const FakeDownloaderFactory&) = delete;
    FakeDownloaderFactory& operator=(const FakeDownloaderFactory&) = delete;

    std::unique_ptr<IDownloader> CreateDownloader() override;

    // Runs for every transfer a control of this factory accepts, right after BeginDownload
    // accepted it, with the control to script (its scripts arrive later through the loop).
    void OnBegin(std::function<void(FakeDownloader&)> script) { m_onBegin = std::move(script); }
    // Answer of BeginDownload for controls made from now on.
    void SetBeginResult(bool accepted) { m_beginResult = accepted; }

    const FakeDownloadLog& Log() const { return *m_log; }
    int CreatedCount() const { return m_created; }
    // The newest control while it lives, else null.
    FakeDownloader* Last() const;

private:
    class ScriptedDownloader;

    VirtualEventLoop& m_loop;
    std::shared_ptr<FakeDownloadLog> m_log = std::make_shared<FakeDownloadLog>();
    std::function<void(FakeDownloader&)> m_onBegin;
    bool m_beginResult = true;
    int m_created = 0;
    std::weak_ptr<FakeDownloader*> m_last;
    // Lets controls that outlive the factory stop calling into it.
    std::shared_ptr<FakeDownloaderFactory*> m_self;
};

} // namespace KDAutoUpdate
