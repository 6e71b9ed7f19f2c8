#include "platform/qt/QtDownloaderFactory.h"

#include "platform/qt/QtDownloader.h"

namespace KDAutoUpdate {

QtDownloaderFactory::QtDownloaderFactory(std::string folder) : m_folder(std::move(folder)) {}

std::unique_ptr<IDownloader> QtDownloaderFactory::CreateDownloader() {
    return std::make_unique<QtDownloader>(m_folder);
}

} // namespace KDAutoUpdate
