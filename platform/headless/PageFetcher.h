#pragma once
// The http(s) side of a browser control's navigations, the same for the headless and the
// WebEngine control: an answer never arrives inside Navigate, a newer navigation stops the fetch
// it supersedes, and an answer is read as the page to show or the status code of its failure.

#include <functional>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"

namespace KDAutoUpdate {

// The URL's scheme in lower case; empty when it names none.
std::string UrlScheme(const std::string& url);

class PageFetcher {
public:
    using Done = std::function<void(const HttpResult&)>;

    // A browser's fetch while it is on the wire.
    struct Request {
        std::shared_ptr<IHttpRequest> request;
        bool running = false;

        // Stops the request if it still runs: its answer, if one comes, is for an older
        // navigation. Throws what IHttpRequest::Abort throws.
        void Stop();
        // The same where nothing may throw (a destructor): a failure to stop is ignored.
        void StopQuietly() noexcept;
    };

    // An answer as the browser takes it.
    struct Page {
        long failure = 0; // 0: a page to show; else the transport error or the HTTP status
        std::string url;  // where the page came from, after redirects
        std::string text; // the page as UTF-8 (PageEncoding)
    };

    PageFetcher(IHttpFetcher& http, IEventLoop& loop) : m_http(http), m_loop(loop) {}
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Starts fetching `url`. When the fetcher answers at once, `done` runs later from the loop,
    // so it never re-enters the caller. Throws what the fetcher throws.
    std::shared_ptr<IHttpRequest> Get(const std::string& url, Done done);

    // The answer to a fetch of `requested`: a page when there is no transport error and the
    // status is 2xx (or none).
    static Page Read(const HttpResult& result, const std::string& requested);

private:
    void Deliver(const Done& done, const HttpResult& result);

    IHttpFetcher& m_http;
    IEventLoop& m_loop;
    bool m_inGet = false;
    // Answers posted to the loop hold it weakly: once the fetcher is gone they do nothing.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace KDAutoUpdate
