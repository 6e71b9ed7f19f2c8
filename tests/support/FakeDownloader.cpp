#include "tests/support/FakeDownloader.h"

#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {

FakeDownloader::FakeDownloader(VirtualEventLoop& loop, std::shared_ptr<FakeDownloadLog> log,
                               std::weak_ptr<Script> onBegin)
    : m_loop(loop), m_log(std::move(log)), m_onBegin(std::move(onBegin)),
      m_self(std::make_shared<FakeDownloader*>(this)) {}

FakeDownloader::~FakeDownloader() {
    m_self.reset();
}

bool FakeDownloader::BeginDownload(const std::string& url, const std::string& key) {
    m_log->begins.push_back({url, key, m_keep, m_product});
    if (!m_beginResult || m_running)
        return false;
    m_running = true;
    ++m_generation;
    m_key = key;
    m_localFile.clear();
    if (const auto script = m_onBegin.lock(); script && *script)
        (*script)(*this);
    return true;
}

void FakeDownloader::CancelDownload(const std::string& key) {
    m_log->cancels.push_back(key);
    if (!m_running || key != m_key)
        return;
    m_running = false;
    m_key.clear();
    m_localFile.clear();
    ++m_generation;
}

void FakeDownloader::Post(long long afterMs, std::function<void()> task) {
    std::weak_ptr<FakeDownloader*> self = m_self;
    auto guarded = [self, task = std::move(task)] {
        if (self.lock())
            task();
    };
    if (afterMs > 0)
        m_loop.PostAfter(afterMs, std::move(guarded));
    else
        m_loop.Post(std::move(guarded));
}

void FakeDownloader::EmitProgress(long long percent, long long rate, long long remaining,
                                  long long received, long long total, long long afterMs) {
    const int generation = m_generation;
    Post(afterMs, [this, generation, percent, rate, remaining, received, total] {
        if (m_running && generation == m_generation && m_events)
            m_events->DownloadProgress(0, percent, rate, remaining, received, total, 0);
    });
}

void FakeDownloader::End(const std::string& localPath, long long afterMs) {
    const int generation = m_generation;
    Post(afterMs, [this, generation, localPath] {
        if (!m_running || generation != m_generation)
            return;
        m_running = false;
        m_key.clear();
        m_localFile = localPath;
        if (m_events)
            m_events->DownloadComplete(localPath);
    });
}

} // namespace KDAutoUpdate
