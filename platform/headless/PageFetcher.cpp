#include "platform/headless/PageFetcher.h"

#include "platform/headless/HtmlNames.h"
#include "platform/headless/PageEncoding.h"

namespace KDAutoUpdate {

std::string UrlScheme(const std::string& url) {
    const std::size_t colon = url.find(':');
    return colon == std::string::npos ? std::string()
                                      : HtmlNames::ToLowerAscii(url.substr(0, colon));
}

void PageFetcher::Request::Stop() {
    // Taken off first: an abort that answers at once finds nothing left to stop.
    const std::shared_ptr<IHttpRequest> previous = std::move(request);
    const bool wasRunning = running;
    running = false;
    if (previous && wasRunning)
        previous->Abort();
}

void PageFetcher::Request::StopQuietly() noexcept {
    try {
        Stop();
    } catch (...) {
    }
}

std::shared_ptr<IHttpRequest> PageFetcher::Get(const std::string& url, Done done) {
    const std::weak_ptr<int> alive = m_alive;
    m_inGet = true;
    try {
        auto request =
            m_http.GetAsync(url, [this, alive, done = std::move(done)](const HttpResult& result) {
                if (!alive.expired())
                    Deliver(done, result);
            });
        m_inGet = false;
        return request;
    } catch (...) {
        m_inGet = false;
        throw;
    }
}

PageFetcher::Page PageFetcher::Read(const HttpResult& result, const std::string& requested) {
    Page page;
    if (result.error != 0)
        page.failure = result.error;
    else if (result.httpStatus != 0 && (result.httpStatus < 200 || result.httpStatus >= 300))
        page.failure = result.httpStatus;
    if (page.failure != 0)
        return page;
    page.url = result.finalUrl.empty() ? requested : result.finalUrl;
    page.text = PageEncoding::ToUtf8(result.body, result.contentType);
    return page;
}

void PageFetcher::Deliver(const Done& done, const HttpResult& result) {
    // An answer given inside GetAsync would reach the browser inside its Navigate.
    if (m_inGet) {
        const std::weak_ptr<int> alive = m_alive;
        m_loop.Post([this, alive, done, result] {
            if (!alive.expired())
                Deliver(done, result);
        });
        return;
    }
    done(result);
}

} // namespace KDAutoUpdate
