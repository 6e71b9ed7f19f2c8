#pragma once
// Fetches the body of an http(s) URL for the XML document service and the headless browser.

#include <functional>
#include <memory>
#include <string>

namespace KDAutoUpdate {

struct HttpResult {
    // 0 on success; the HTTP status for a non-2xx answer; a negative number for a transport
    // failure (unreachable host, refused connection, aborted, TLS failure).
    int error = 0;
    int httpStatus = 0;
    std::string body;
    std::string finalUrl;
    // The answer's Content-Type header as sent ("text/html; charset=iso-8859-1"); may be empty.
    std::string contentType;
};

// A running request. Destroying it without abort() leaves the request running to completion.
class IHttpRequest {
public:
    virtual ~IHttpRequest() = default;
    // Ends the request; its completion callback then runs with a negative error.
    virtual void Abort() = 0;
};

class IHttpFetcher {
public:
    virtual ~IHttpFetcher() = default;
    // Blocks until the answer is complete; no user input is processed meanwhile.
    virtual HttpResult GetSync(const std::string& url) = 0;
    // Returns at once; `done` runs later on the calling thread's event loop.
    virtual std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                                   std::function<void(const HttpResult&)> done) = 0;
};

} // namespace KDAutoUpdate
