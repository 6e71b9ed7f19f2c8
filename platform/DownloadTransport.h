#pragma once
// What a download needs from the network, and nothing more: one GET at a time with the
// headers it is given, its answer's status and headers, the body in pieces, and how it ended.
// Each backend supplies one (Qt Network, WinHTTP); the download itself (the partial file,
// resuming, retries, progress) is DownloadSession's, the same on every system.
//
// Redirects are the transport's to follow, within the bounds it was made with; the status
// and headers it reports are the final answer's. Events arrive on the agent's thread, from
// its event loop, never inside Start.

#include <cstddef>
#include <string>
#include <vector>

namespace KDAutoUpdate {

struct DownloadHeader {
    std::string name;
    std::string value;
};

// Case-insensitive lookup of a header; empty when it is missing.
std::string FindDownloadHeader(const std::vector<DownloadHeader>& headers, const std::string& name);

class IDownloadTransportEvents {
public:
    enum class End {
        Complete,    // the server ended the body as it meant to
        Interrupted, // reset, closed, timed out: worth another try
        Failed,      // refused for good: a forbidden redirect, a bad address, TLS
    };

    virtual ~IDownloadTransportEvents() = default;
    // Once per request, before any body.
    virtual void TransportAnswer(int status, const std::vector<DownloadHeader>& headers) = 0;
    virtual void TransportBody(const char* data, std::size_t size) = 0;
    // Once per request, last. Not raised after Abort.
    virtual void TransportEnded(End end) = 0;
};

class IDownloadTransport {
public:
    virtual ~IDownloadTransport() = default;
    // Starts a GET of `url` (http or https) with these request headers; false when it cannot
    // start (then no event follows). A request still running is aborted first.
    [[nodiscard]] virtual bool Start(const std::string& url,
                                     const std::vector<DownloadHeader>& headers,
                                     IDownloadTransportEvents& events) = 0;
    // Ends the running request without any further event; safe inside an event.
    virtual void Abort() = 0;
};

} // namespace KDAutoUpdate
