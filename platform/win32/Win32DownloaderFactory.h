#pragma once
// Makes the download controls of the download dialog: Win32Downloader into one folder.

#include <memory>
#include <string>

#include "platform/Downloader.h"

namespace KDAutoUpdate {

class Win32EventLoop;

class Win32DownloaderFactory : public IDownloaderFactory {
public:
    // `folder`: where the downloads go; empty for the per-user default.
    explicit Win32DownloaderFactory(Win32EventLoop& loop, std::string folder = {});

    std::unique_ptr<IDownloader> CreateDownloader() override;

private:
    Win32EventLoop& m_loop;
    std::string m_folder;
};

} // namespace KDAutoUpdate
