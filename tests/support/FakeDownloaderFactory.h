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
        auto downloader = std::make_unique<ScriptedDownloader>(m_loop, m_log, m_onBegin);
        downloader->SetBeginResult(m_beginResult);
        ++m_created;
        return downloader;
    }

    // Runs for every transfer a control of this factory accepts, right after BeginDownload
    // accepted it, with the control to script (its scripts arrive later through the loop).
    void OnBegin(std::function<void(FakeDownloader&)> script) { *m_onBegin = std::move(script); }
    // Answer of BeginDownload for controls made from now on.
    void SetBeginResult(bool accepted) { m_beginResult = accepted; }

    const FakeDownloadLog& Log() const { return *m_log; }
    int CreatedCount() const { return m_created; }

private:
    using Script = std::function<void(FakeDownloader&)>;
    // A control that runs the factory's OnBegin script while the factory lives.
    class ScriptedDownloader : public FakeDownloader {
    public:
        ScriptedDownloader(VirtualEventLoop& loop, std::shared_ptr<FakeDownloadLog> log,
                           std::weak_ptr<Script> onBegin)
            : FakeDownloader(loop, std::move(log)), m_onBegin(std::move(onBegin)) {}
        bool BeginDownload(const std::string& url, const std::string& key) override {
            if (!FakeDownloader::BeginDownload(url, key))
                return false;
            if (const auto script = m_onBegin.lock(); script && *script)
                (*script)(*this);
            return true;
        }

    private:
        std::weak_ptr<Script> m_onBegin;
    };

    VirtualEventLoop& m_loop;
    std::shared_ptr<FakeDownloadLog> m_log = std::make_shared<FakeDownloadLog>();
    std::shared_ptr<Script> m_onBegin = std::make_shared<Script>();
    bool m_beginResult = true;
    int m_created = 0;
};

} // namespace KDAutoUpdate
