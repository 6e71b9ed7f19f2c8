#pragma once
// IHttpFetcher on QNetworkAccessManager, for answers read whole into memory (the check answer,
// the message page): bounded in size, in total time and in stalls (NetworkLimits); redirects
// as QtRedirectGuard allows. HTTPS verifies against the system's trust store.
//
// Errors: 0 for a 2xx answer; the HTTP status for any other answer; for a failure without an
// HTTP answer the negated QNetworkReply::NetworkError (refused -1, host not found -3,
// timeout -4, aborted -5, TLS -6, ...), at least -1. A stall or the total deadline gives -4,
// an answer over the size bound -299 (unknown content), a refused redirect -5.

#include <functional>
#include <memory>
#include <string>

#include "platform/HttpFetcher.h"
#include "platform/NetworkLimits.h"

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace KDAutoUpdate {

class QtHttpFetcher : public IHttpFetcher {
public:
    explicit QtHttpFetcher(NetworkLimits limits = {});
    ~QtHttpFetcher() override;
    QtHttpFetcher(const QtHttpFetcher&) = delete;
    QtHttpFetcher& operator=(const QtHttpFetcher&) = delete;

    HttpResult GetSync(const std::string& url) override;
    // Requests still running when the fetcher ends never call back.
    std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                           std::function<void(const HttpResult&)> done) override;

    static HttpResult ResultOf(QNetworkReply& reply, const std::string& url);

private:
    class Request;
    QNetworkReply* Start(const std::string& url);

    NetworkLimits m_limits;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace KDAutoUpdate
