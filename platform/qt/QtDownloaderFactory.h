#pragma once
// Makes the download controls of the download dialog: QtDownloader into one folder.

#include <memory>
#include <string>

#include "platform/Downloader.h"

namespace KDAutoUpdate {

class QtDownloaderFactory : public IDownloaderFactory {
public:
    // `folder`: where the downloads go; empty for the per-user default.
    explicit QtDownloaderFactory(std::string folder = {});

    std::unique_ptr<IDownloader> CreateDownloader() override;

private:
    std::string m_folder;
};

} // namespace KDAutoUpdate
