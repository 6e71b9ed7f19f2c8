#include "platform/win32/Win32Downloader.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwchar>
#include <filesystem>
#include <vector>

#include "platform/portable/DownloadFiles.h"
#include "platform/portable/TransferMeter.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32DownloadAddress.h"
#include "platform/win32/Win32DownloadFolder.h"
#include "platform/win32/Win32EventLoop.h"

namespace KDAutoUpdate {

namespace fs = std::filesystem;

namespace {

constexpr UINT kReportIntervalMs = 250;
constexpr std::size_t kChunkSize = 256 * 1024;
constexpr wchar_t kPartSuffix[] = L".part";

long long NowMs() {
    return static_cast<long long>(GetTickCount64());
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring QueryText(HINTERNET request, DWORD info) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

} // namespace

// What WinHTTP's threads share with the agent's thread for one request: where to post, and
// the buffer a read fills. WinHTTP holds it as the request's context until the handle closes.
struct Win32Downloader::Channel {
    Win32EventLoop* loop = nullptr;
    std::weak_ptr<Win32Downloader*> owner;
    unsigned serial = 0;
    std::atomic<bool> closed{false};
    std::vector<char> buffer = std::vector<char>(kChunkSize);

    static void CALLBACK Notify(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                DWORD length) {
        auto* holder = reinterpret_cast<std::shared_ptr<Channel>*>(context);
        if (!holder)
            return;
        if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
            delete holder;
            return;
        }
        const Channel& channel = **holder;
        if (channel.closed)
            return;
        DWORD value = length;
        if (status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR && info)
            value = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        else if (status == WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE && info)
            value = *static_cast<DWORD*>(info);
        channel.loop->Post([owner = channel.owner, serial = channel.serial, status, value] {
            if (const auto self = owner.lock(); self && *self)
                (*self)->OnStatus(serial, status, value);
        });
    }
};

// One running transfer: the request of the current hop, the partial file and the measurement.
struct Win32Downloader::Transfer {
    std::string key;
    std::string url; // of the current hop
    fs::path partPath;
    fs::path finalPath;
    HANDLE part = INVALID_HANDLE_VALUE;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    std::shared_ptr<Channel> channel;
    UINT_PTR timer = 0;
    int redirects = 0;
    long long startMs = 0;
    long long lastByteMs = 0;
    long long received = 0;
    long long total = -1; // -1 until the answer tells
    TransferMeter meter;
};

Win32Downloader::Win32Downloader(Win32EventLoop& loop, std::string folder, NetworkLimits limits)
    : m_loop(loop), m_folder(Win32DownloadFolder::Choose(
                        folder.empty() ? Win32DownloadFolder::Default() : folder)),
      m_limits(limits), m_self(std::make_shared<Win32Downloader*>(this)) {
    m_session = WinHttpOpen(L"KDAutoUpdate", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
}

Win32Downloader::~Win32Downloader() {
    *m_self = nullptr;
    if (m_transfer)
        Discard(*m_transfer);
    m_transfer.reset();
    if (m_session)
        WinHttpCloseHandle(m_session);
}

void Win32Downloader::SetEvents(IDownloadEvents* events) {
    m_events = events;
}

void Win32Downloader::KeepFiles(std::vector<std::string> paths) {
    m_keep = std::move(paths);
}

void Win32Downloader::SetProduct(const std::string& productCode) {
    m_product = productCode;
}

bool Win32Downloader::IsBusy() const {
    return m_transfer != nullptr;
}

std::string Win32Downloader::LocalFile() const {
    return m_localFile;
}

bool Win32Downloader::BeginDownload(const std::string& url, const std::string& key) {
    if (m_transfer || m_completionPending || !m_session || m_folder.empty())
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
        const std::string name = DownloadFolder::SafeFileName(address->segment);
        std::vector<std::string> keep = m_keep;
        keep.push_back(name);
        DownloadFolder::Tidy(Narrow(folder.wstring()), m_limits, keep);
        auto transfer = std::make_unique<Transfer>();
        transfer->key = key;
        transfer->finalPath = folder / Widen(name);
        transfer->partPath = folder / (Widen(name) + kPartSuffix);
        // Both names must stay inside the folder whatever the address said.
        for (const fs::path& p : {transfer->finalPath, transfer->partPath})
            if (fs::weakly_canonical(p, error).parent_path() != folder || error)
                return false;
        // A left-over partial file (or a link planted in its place) is replaced, never
        // written through.
        DeleteFileW(transfer->partPath.c_str());
        transfer->part = CreateFileW(transfer->partPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (transfer->part == INVALID_HANDLE_VALUE)
            return false;
        transfer->startMs = transfer->lastByteMs = NowMs();
        m_transfer = std::move(transfer);
        if (!StartRequest(*address)) {
            std::unique_ptr<Transfer> failed = std::move(m_transfer);
            Discard(*failed);
            return false;
        }
        m_transfer->timer = m_loop.StartTimer(kReportIntervalMs, [this] { OnTick(); });
        m_localFile.clear();
        return true;
    } catch (...) {
        if (m_transfer) {
            std::unique_ptr<Transfer> failed = std::move(m_transfer);
            Discard(*failed);
        }
        return false;
    }
}

bool Win32Downloader::StartRequest(const Win32DownloadAddress& address) {
    Transfer& t = *m_transfer;
    CloseRequest(t);
    t.url = address.url;
    HINTERNET session = m_proxy.SessionFor(Widen(address.url), m_session);
    t.connection = session ? WinHttpConnect(session, address.host.c_str(), address.port, 0)
                           : nullptr;
    if (!t.connection)
        return false;
    t.request = WinHttpOpenRequest(t.connection, L"GET", address.object.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   address.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!t.request)
        return false;
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(t.request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    const int stall = std::max(0, m_limits.stallTimeoutMs);
    WinHttpSetTimeouts(t.request, stall, stall, stall, stall);
    t.channel = std::make_shared<Channel>();
    t.channel->loop = &m_loop;
    t.channel->owner = m_self;
    t.channel->serial = ++m_serial;
    if (WinHttpSetStatusCallback(t.request, &Channel::Notify,
                                 WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                     WINHTTP_CALLBACK_FLAG_HANDLES,
                                 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return false;
    // From here on the handle owns the holder and frees it when it closes.
    auto* holder = new std::shared_ptr<Channel>(t.channel);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
    if (!WinHttpSetOption(t.request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
        delete holder;
        return false;
    }
    // The package's own bytes: no transparent decompression, so sizes match.
    return WinHttpSendRequest(t.request, L"Accept-Encoding: identity", static_cast<DWORD>(-1),
                              WINHTTP_NO_REQUEST_DATA, 0, 0, context) != FALSE;
}

void Win32Downloader::CancelDownload(const std::string& key) {
    // A cancelled transfer ends quietly: whoever cancelled it knows.
    if (m_transfer && m_transfer->key == key) {
        std::unique_ptr<Transfer> transfer = std::move(m_transfer);
        Discard(*transfer);
        m_localFile.clear();
    }
}

void Win32Downloader::OnStatus(unsigned serial, unsigned long status, unsigned long value) {
    if (!m_transfer || serial != m_serial)
        return;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(m_transfer->request, nullptr))
            End(false);
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        OnHeaders();
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        OnDataAvailable(value);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        OnRead(value);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        End(false);
        break;
    default:
        break;
    }
}

void Win32Downloader::OnHeaders() {
    Transfer& t = *m_transfer;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(t.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return End(false);
    if (IsRedirect(status)) {
        const std::string location = Narrow(QueryText(t.request, WINHTTP_QUERY_LOCATION));
        const auto from = Win32DownloadAddress::Parse(t.url);
        const auto to = Win32DownloadAddress::Parse(Win32DownloadAddress::Resolve(t.url, location));
        if (location.empty() || !from || !to || ++t.redirects > m_limits.maxRedirects ||
            !Win32DownloadAddress::IsRedirectAllowed(*from, *to) || !StartRequest(*to))
            End(false);
        return;
    }
    // With a size, the file is complete only when exactly that many bytes arrived; without one
    // (-1), the end of the connection ends it and the cap keeps endless data off the disk.
    const std::wstring length = QueryText(t.request, WINHTTP_QUERY_CONTENT_LENGTH);
    wchar_t* end = nullptr;
    const long long total = length.empty() ? -1 : std::wcstoll(length.c_str(), &end, 10);
    if (status < 200 || status >= 300 || (!length.empty() && (total < 0 || *end != L'\0')))
        return End(false);
    t.total = total;
    Read();
}

// Asks what has arrived, then reads that much: a read of the whole buffer could wait for it to
// fill, and progress would stand still on a slow line.
void Win32Downloader::Read() {
    if (!WinHttpQueryDataAvailable(m_transfer->request, nullptr))
        End(false);
}

void Win32Downloader::OnDataAvailable(unsigned long bytes) {
    Transfer& t = *m_transfer;
    if (bytes == 0) // a connection dropped before the announced size is no complete file
        return End(t.total < 0 || t.received == t.total);
    std::vector<char>& buffer = t.channel->buffer;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes, buffer.size()));
    if (!WinHttpReadData(t.request, buffer.data(), size, nullptr))
        End(false);
}

void Win32Downloader::OnRead(unsigned long bytes) {
    Transfer& t = *m_transfer;
    if (bytes == 0) // a connection dropped before the announced size is no complete file
        return End(t.total < 0 || t.received == t.total);
    DWORD written = 0;
    if (!WriteFile(t.part, t.channel->buffer.data(), bytes, &written, nullptr) || written != bytes)
        return End(false); // disk full or gone
    t.received += bytes;
    t.lastByteMs = NowMs();
    if (t.total >= 0 ? t.received > t.total : t.received > m_limits.maxUnsizedPackageBytes)
        return End(false);
    Read();
}

void Win32Downloader::OnTick() {
    if (!m_transfer)
        return;
    Transfer& t = *m_transfer;
    const long long now = NowMs() - t.startMs;
    if (NowMs() - t.lastByteMs >= m_limits.stallTimeoutMs)
        return End(false);
    if (!t.meter.Sample(now, t.received, m_limits))
        return End(false);
    if (!m_events)
        return;
    const TransferMeter::Progress p = t.meter.Report(t.received, t.total);
    m_events->DownloadProgress(0, p.percent, p.rate, p.remaining, t.received, p.total, 0);
}

void Win32Downloader::CloseRequest(Transfer& t) {
    if (t.channel)
        t.channel->closed = true;
    if (t.request)
        WinHttpCloseHandle(t.request);
    if (t.connection)
        WinHttpCloseHandle(t.connection);
    t.request = t.connection = nullptr;
    t.channel.reset();
}

void Win32Downloader::Discard(Transfer& t) {
    if (t.timer)
        m_loop.StopTimer(t.timer);
    t.timer = 0;
    CloseRequest(t);
    if (t.part != INVALID_HANDLE_VALUE)
        CloseHandle(t.part);
    t.part = INVALID_HANDLE_VALUE;
    DeleteFileW(t.partPath.c_str());
}

bool Win32Downloader::Keep(Transfer& t) {
    if (t.timer)
        m_loop.StopTimer(t.timer);
    t.timer = 0;
    CloseRequest(t);
    const bool written = FlushFileBuffers(t.part) != FALSE;
    CloseHandle(t.part);
    t.part = INVALID_HANDLE_VALUE;
    if (!written || !MoveFileExW(t.partPath.c_str(), t.finalPath.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(t.partPath.c_str());
        return false;
    }
    return true;
}

void Win32Downloader::End(bool success) {
    std::unique_ptr<Transfer> transfer = std::move(m_transfer);
    if (!transfer)
        return;
    const bool kept = success && Keep(*transfer);
    if (!success)
        Discard(*transfer);
    const long long rate =
        transfer->meter.FinalRate(transfer->received, NowMs() - transfer->startMs);
    m_localFile = kept ? Narrow(transfer->finalPath.wstring()) : std::string();
    const long long total = transfer->total > 0 ? transfer->total : transfer->received;
    Deliver(m_localFile, kept, transfer->received, total, rate);
}

void Win32Downloader::Deliver(const std::string& value, bool finalReport, long long received,
                              long long total, long long rate) {
    m_completionPending = true;
    m_loop.Post([owner = std::weak_ptr<Win32Downloader*>(m_self), value, finalReport, received,
                 total, rate] {
        const auto self = owner.lock();
        if (!self || !*self)
            return;
        (*self)->m_completionPending = false;
        if (finalReport && (*self)->m_events)
            (*self)->m_events->DownloadProgress(0, 100, rate, 0, received, total, 0);
        // The progress handler may have destroyed the downloader.
        if (*self && (*self)->m_events)
            (*self)->m_events->DownloadComplete(value);
    });
}

} // namespace KDAutoUpdate
