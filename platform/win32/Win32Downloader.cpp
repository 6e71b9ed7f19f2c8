#include "platform/win32/Win32Downloader.h"

#include <filesystem>
#include <optional>

#include "platform/portable/DownloadFiles.h"
#include "platform/portable/DownloadSession.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32DownloadAddress.h"
#include "platform/win32/Win32DownloadFolder.h"
#include "platform/win32/Win32DownloadTransport.h"
#include "platform/win32/Win32EventLoop.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

Win32Downloader::Win32Downloader(Win32EventLoop& loop, std::string folder, NetworkLimits limits)
    : m_folder(
          Win32DownloadFolder::Choose(folder.empty() ? Win32DownloadFolder::Default() : folder)),
      m_transport(std::make_unique<Win32DownloadTransport>(loop, limits)),
      m_session(std::make_unique<DownloadSession>(loop, *m_transport, limits)) {}

Win32Downloader::~Win32Downloader() {
    m_session.reset();
    m_transport.reset();
}

void Win32Downloader::SetEvents(IDownloadEvents* events) {
    m_session->SetEvents(events);
}

void Win32Downloader::KeepFiles(std::vector<std::string> paths) {
    m_session->KeepFiles(std::move(paths));
}

void Win32Downloader::SetProduct(const std::string& productCode) {
    m_product = productCode;
}

bool Win32Downloader::IsBusy() const {
    return m_session->IsBusy();
}

std::string Win32Downloader::LocalFile() const {
    return m_session->LocalFile();
}

long long Win32Downloader::FetchedBytes() const {
    return m_session->FetchedBytes();
}

bool Win32Downloader::BeginDownload(const std::string& url, const std::string& key) {
    if (m_session->IsBusy() || m_folder.empty())
        return false;
    try {
        const std::optional<Win32DownloadAddress> address = Win32DownloadAddress::Parse(url);
        if (!address)
            return false;
        std::error_code error;
        const std::string productFolder = DownloadFolder::ProductFolder(m_folder, m_product);
        fs::create_directories(Widen(productFolder), error);
        const fs::path folder = fs::canonical(Widen(productFolder), error);
        if (error)
            return false;
        const fs::path target = folder / Widen(DownloadFolder::SafeFileName(address->segment));
        // The name must stay inside the folder whatever the address said.
        if (fs::weakly_canonical(target, error).parent_path() != folder || error)
            return false;
        return m_session->Begin(url, key, target);
    } catch (...) {
        return false;
    }
}

void Win32Downloader::CancelDownload(const std::string& key) {
    m_session->Cancel(key);
}

} // namespace KDAutoUpdate
