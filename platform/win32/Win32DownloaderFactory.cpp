#include "platform/win32/Win32DownloaderFactory.h"

#include "platform/win32/Win32Downloader.h"

namespace KDAutoUpdate {

Win32DownloaderFactory::Win32DownloaderFactory(Win32EventLoop& loop, std::string folder)
    : m_loop(loop), m_folder(std::move(folder)) {}

std::unique_ptr<IDownloader> Win32DownloaderFactory::CreateDownloader() {
    return std::make_unique<Win32Downloader>(m_loop, m_folder);
}

} // namespace KDAutoUpdate
