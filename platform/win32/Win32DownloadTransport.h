#pragma once
// The download's transport on WinHTTP: one GET at a time, asynchronous. WinHTTP's
// notifications arrive on its own threads and are posted to the agent's loop, where the
// events are raised. Redirects are followed here, not by WinHTTP, as Win32DownloadAddress
// allows; each request (a redirect's too) takes the proxy the user's Internet settings choose
// for its address (Win32UserProxy). The answer's headers that a download reads are reported:
// Content-Length, Content-Range, ETag and Last-Modified.

#include <memory>
#include <string>
#include <vector>

#include "platform/DownloadTransport.h"
#include "platform/NetworkLimits.h"
#include "platform/win32/Win32UserProxy.h"

namespace KDAutoUpdate {

class Win32EventLoop;
struct Win32DownloadAddress;

class Win32DownloadTransport : public IDownloadTransport {
public:
    // The loop must outlive the transport.
    Win32DownloadTransport(Win32EventLoop& loop, NetworkLimits limits);
    ~Win32DownloadTransport() override;
    Win32DownloadTransport(const Win32DownloadTransport&) = delete;
    Win32DownloadTransport& operator=(const Win32DownloadTransport&) = delete;

    bool Start(const std::string& url, const std::vector<DownloadHeader>& headers,
               IDownloadTransportEvents& events) override;
    void Abort() override;

private:
    struct Channel;

    bool Send(const Win32DownloadAddress& address);
    void OnStatus(unsigned serial, unsigned long status, unsigned long value);
    void OnHeaders();
    void Read();
    void OnDataAvailable(unsigned long bytes);
    void OnRead(unsigned long bytes);
    void CloseRequest();
    // Closes the request and raises TransportEnded.
    void End(IDownloadTransportEvents::End end);

    Win32EventLoop& m_loop;
    NetworkLimits m_limits;
    void* m_session = nullptr; // the WinHTTP session, asynchronous, with the machine's proxy
    Win32UserProxy m_proxy;    // sessions with the user's proxy, as pages have it
    IDownloadTransportEvents* m_events = nullptr;
    std::wstring m_headers; // of the request, as WinHTTP takes them
    std::string m_url;      // of the current hop
    int m_redirects = 0;
    void* m_connection = nullptr;
    void* m_request = nullptr;
    std::shared_ptr<Channel> m_channel;
    unsigned m_serial = 0; // of the current request: notifications of older ones are dropped
    // Posted notifications find the transport through this; null once it died.
    std::shared_ptr<Win32DownloadTransport*> m_self;
};

} // namespace KDAutoUpdate
