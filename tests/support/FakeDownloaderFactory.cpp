#include "tests/support/FakeDownloaderFactory.h"

namespace KDAutoUpdate {

// A control that runs the factory's OnBegin script and lets the factory find it while it lives.
class FakeDownloaderFactory::ScriptedDownloader : public FakeDownloader {
public:
    ScriptedDownloader(VirtualEventLoop& loop, std::shared_ptr<FakeDownloadLog> log,
                       std::weak_ptr<FakeDownloaderFactory*> factory)
        : FakeDownloader(loop, std::move(log)), m_factory(std::move(factory)),
          m_handle(std::make_shared<FakeDownloader*>(this)) {}

    bool BeginDownload(const std::string& url, const std::string& key) override {
        if (!FakeDownloader::BeginDownload(url, key))
            return false;
        if (auto factory = m_factory.lock(); factory && (*factory)->m_onBegin)
            (*factory)->m_onBegin(*this);
        return true;
    }

    std::weak_ptr<FakeDownloader*> Handle() const { return m_handle; }

private:
    std::weak_ptr<FakeDownloaderFactory*> m_factory;
    std::shared_ptr<FakeDownloader*> m_handle;
};

FakeDownloaderFactory::FakeDownloaderFactory(VirtualEventLoop& loop)
    : m_loop(loop), m_self(std::make_shared<FakeDownloaderFactory*>(this)) {}

FakeDownloaderFactory::~FakeDownloaderFactory() {
    m_self.reset();
}

std::unique_ptr<IDownloader> FakeDownloaderFactory::CreateDownloader() {
    auto downloader = std::make_unique<ScriptedDownloader>(m_loop, m_log, m_self);
    downloader->SetBeginResult(m_beginResult);
    m_last = downloader->Handle();
    ++m_created;
    return downloader;
}

FakeDownloader* FakeDownloaderFactory::Last() const {
    const auto last = m_last.lock();
    return last ? *last : nullptr;
}

} // namespace KDAutoUpdate
