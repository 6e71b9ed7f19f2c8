#include "platform/win32/Win32DownloadTransport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32DownloadAddress.h"
#include "platform/win32/Win32EventLoop.h"

namespace KDAutoUpdate {

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;

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

// The connection went, or nothing came for too long: worth another try.
IDownloadTransportEvents::End EndOfError(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_TIMEOUT:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return IDownloadTransportEvents::End::Interrupted;
    default:
        return IDownloadTransportEvents::End::Failed;
    }
}

} // namespace

// What WinHTTP's threads share with the agent's thread for one request: where to post, and
// the buffer a read fills. WinHTTP holds it as the request's context until the handle closes.
struct Win32DownloadTransport::Channel {
    Win32EventLoop* loop = nullptr;
    std::weak_ptr<Win32DownloadTransport*> owner;
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

Win32DownloadTransport::Win32DownloadTransport(Win32EventLoop& loop, NetworkLimits limits)
    : m_loop(loop), m_limits(limits), m_self(std::make_shared<Win32DownloadTransport*>(this)) {
    m_session = WinHttpOpen(L"KDAutoUpdate", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
}

Win32DownloadTransport::~Win32DownloadTransport() {
    *m_self = nullptr;
    Abort();
    if (m_session)
        WinHttpCloseHandle(m_session);
}

bool Win32DownloadTransport::Start(const std::string& url,
                                   const std::vector<DownloadHeader>& headers,
                                   IDownloadTransportEvents& events) {
    Abort();
    const std::optional<Win32DownloadAddress> address = Win32DownloadAddress::Parse(url);
    if (!m_session || !address)
        return false;
    m_headers.clear();
    for (const DownloadHeader& header : headers)
        m_headers += Widen(header.name) + L": " + Widen(header.value) + L"\r\n";
    m_redirects = 0;
    m_events = &events;
    if (!Send(*address)) {
        Abort();
        return false;
    }
    return true;
}

void Win32DownloadTransport::Abort() {
    m_events = nullptr;
    CloseRequest();
}

bool Win32DownloadTransport::Send(const Win32DownloadAddress& address) {
    CloseRequest();
    m_url = address.url;
    HINTERNET session = m_proxy.SessionFor(Widen(address.url), m_session);
    m_connection =
        session ? WinHttpConnect(session, address.host.c_str(), address.port, 0) : nullptr;
    if (!m_connection)
        return false;
    m_request = WinHttpOpenRequest(m_connection, L"GET", address.object.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   address.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!m_request)
        return false;
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(m_request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    const int stall = std::max(0, m_limits.stallTimeoutMs);
    WinHttpSetTimeouts(m_request, stall, stall, stall, stall);
    m_channel = std::make_shared<Channel>();
    m_channel->loop = &m_loop;
    m_channel->owner = m_self;
    m_channel->serial = ++m_serial;
    if (WinHttpSetStatusCallback(m_request, &Channel::Notify,
                                 WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                     WINHTTP_CALLBACK_FLAG_HANDLES,
                                 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return false;
    // From here on the handle owns the holder and frees it when it closes.
    auto* holder = new std::shared_ptr<Channel>(m_channel);
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
    if (!WinHttpSetOption(m_request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
        delete holder;
        return false;
    }
    return WinHttpSendRequest(m_request,
                              m_headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : m_headers.c_str(),
                              m_headers.empty() ? 0 : static_cast<DWORD>(-1),
                              WINHTTP_NO_REQUEST_DATA, 0, 0, context) != FALSE;
}

void Win32DownloadTransport::OnStatus(unsigned serial, unsigned long status, unsigned long value) {
    if (!m_events || serial != m_serial)
        return;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(m_request, nullptr))
            End(IDownloadTransportEvents::End::Interrupted);
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
        End(EndOfError(value));
        break;
    default:
        break;
    }
}

void Win32DownloadTransport::OnHeaders() {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(m_request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return End(IDownloadTransportEvents::End::Failed);
    if (IsRedirect(status)) {
        const std::string location = Narrow(QueryText(m_request, WINHTTP_QUERY_LOCATION));
        const auto from = Win32DownloadAddress::Parse(m_url);
        const auto to = Win32DownloadAddress::Parse(Win32DownloadAddress::Resolve(m_url, location));
        if (location.empty() || !from || !to || ++m_redirects > m_limits.maxRedirects ||
            !Win32DownloadAddress::IsRedirectAllowed(*from, *to) || !Send(*to))
            End(IDownloadTransportEvents::End::Failed);
        return;
    }
    std::vector<DownloadHeader> headers;
    const std::pair<const char*, DWORD> wanted[] = {
        {"Content-Length", WINHTTP_QUERY_CONTENT_LENGTH},
        {"Content-Range", WINHTTP_QUERY_CONTENT_RANGE},
        {"ETag", WINHTTP_QUERY_ETAG},
        {"Last-Modified", WINHTTP_QUERY_LAST_MODIFIED}};
    for (const auto& [name, info] : wanted)
        if (const std::wstring value = QueryText(m_request, info); !value.empty())
            headers.push_back({name, Narrow(value)});
    const unsigned serial = m_serial;
    m_events->TransportAnswer(static_cast<int>(status), headers);
    if (m_events && serial == m_serial) // not aborted by the answer
        Read();
}

// Asks what has arrived, then reads that much: a read of the whole buffer could wait for it to
// fill, and progress would stand still on a slow line.
void Win32DownloadTransport::Read() {
    if (!WinHttpQueryDataAvailable(m_request, nullptr))
        End(IDownloadTransportEvents::End::Interrupted);
}

void Win32DownloadTransport::OnDataAvailable(unsigned long bytes) {
    if (bytes == 0)
        return End(IDownloadTransportEvents::End::Complete);
    std::vector<char>& buffer = m_channel->buffer;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes, buffer.size()));
    if (!WinHttpReadData(m_request, buffer.data(), size, nullptr))
        End(IDownloadTransportEvents::End::Interrupted);
}

void Win32DownloadTransport::OnRead(unsigned long bytes) {
    if (bytes == 0)
        return End(IDownloadTransportEvents::End::Complete);
    // The channel stays alive while the body is handed on, whatever the session does.
    const std::shared_ptr<Channel> channel = m_channel;
    const unsigned serial = m_serial;
    m_events->TransportBody(channel->buffer.data(), bytes);
    if (m_events && serial == m_serial)
        Read();
}

void Win32DownloadTransport::CloseRequest() {
    if (m_channel)
        m_channel->closed = true;
    if (m_request)
        WinHttpCloseHandle(m_request);
    if (m_connection)
        WinHttpCloseHandle(m_connection);
    m_request = m_connection = nullptr;
    m_channel.reset();
}

void Win32DownloadTransport::End(IDownloadTransportEvents::End end) {
    IDownloadTransportEvents* events = m_events;
    m_events = nullptr;
    CloseRequest();
    if (events)
        events->TransportEnded(end);
}

} // namespace KDAutoUpdate
