#pragma once
// A scripted network: answers by exact URL or URL prefix, records every URL asked for, and can
// hold requests until the test answers them or they are aborted. Asynchronous answers arrive
// through the loop's posted tasks, never inside GetAsync.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/HttpFetcher.h"

namespace KDAutoUpdate {

class VirtualEventLoop;

class FakeHttpFetcher : public IHttpFetcher {
public:
    // Transport errors the fake reports (negative, as the real fetcher's are).
    static constexpr int kUnreachable = -3; // no script for the URL
    static constexpr int kTimeout = -4;     // a held request asked for synchronously
    static constexpr int kAborted = -5;

    struct Response {
        int status = 200;
        std::string body;
        int transportError = 0; // negative: the request fails without an HTTP answer
        bool never = false;     // held until CompletePending() or Abort()
        long delayMs = 0;       // asynchronous answer after this much virtual time

        static Response Ok(std::string text) { return {200, std::move(text)}; }
        static Response Status(int code, std::string text = {}) { return {code, std::move(text)}; }
        static Response TransportError(int error = kUnreachable) { return {0, {}, error}; }
        static Response Never() { return {0, {}, 0, true}; }
        static Response Delayed(long ms, std::string text) {
            return {200, std::move(text), 0, false, ms};
        }
    };

    struct Request {
        std::string url;
        bool async = false;
    };

    explicit FakeHttpFetcher(VirtualEventLoop& loop);
    ~FakeHttpFetcher() override;

    // Scripts. An exact URL wins over prefixes; among prefixes the longest wins; a later script
    // for the same URL or prefix replaces the earlier one. Unscripted URLs are unreachable.
    void SetResponse(const std::string& url, Response response) {
        m_rules[{url, false}] = std::move(response);
    }
    void SetPrefixResponse(const std::string& prefix, Response response) {
        m_rules[{prefix, true}] = std::move(response);
    }

    std::vector<std::string> RequestedUrls() const;
    const std::vector<Request>& Requests() const { return m_requests; }
    int AbortCount() const { return m_abortCount; }

    // Held requests, oldest first. Completing answers the oldest held for `url` (any when empty).
    std::vector<std::string> PendingUrls() const;
    bool CompletePending(const std::string& url, const Response& response);
    int CompleteAllPending(const Response& response);

    HttpResult GetSync(const std::string& url) override;
    std::shared_ptr<IHttpRequest> GetAsync(const std::string& url,
                                           std::function<void(const HttpResult&)> done) override;

    // Shared between a request handle and its posted answer.
    struct State {
        std::string url;
        std::function<void(const HttpResult&)> done;
        HttpResult result;
        bool delivered = false;
        bool aborted = false;
    };

private:
    class FakeRequest;

    Response Lookup(const std::string& url) const;
    static HttpResult ResultOf(const std::string& url, const Response& response);
    // Posts the delivery of `result` to the loop.
    void Schedule(const std::shared_ptr<State>& state, const HttpResult& result, long delayMs);
    void OnAbort(const std::shared_ptr<State>& state);

    VirtualEventLoop& m_loop;
    // By pattern and whether it is a prefix.
    std::map<std::pair<std::string, bool>, Response> m_rules;
    std::vector<Request> m_requests;
    std::deque<std::shared_ptr<State>> m_pending;
    int m_abortCount = 0;
    std::shared_ptr<FakeHttpFetcher*> m_self;
};

} // namespace KDAutoUpdate
