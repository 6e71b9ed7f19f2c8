#include "tests/support/FakeHttpFetcher.h"

#include <algorithm>
#include <iterator>

#include "tests/support/VirtualEventLoop.h"

namespace KDAutoUpdate {

// The handle given to the caller; it may outlive the fetcher.
class FakeHttpFetcher::FakeRequest : public IHttpRequest {
public:
    FakeRequest(std::weak_ptr<FakeHttpFetcher*> fetcher, std::shared_ptr<State> state)
        : m_fetcher(std::move(fetcher)), m_state(std::move(state)) {}
    void Abort() override {
        if (auto fetcher = m_fetcher.lock())
            (*fetcher)->OnAbort(m_state);
    }

private:
    std::weak_ptr<FakeHttpFetcher*> m_fetcher;
    std::shared_ptr<State> m_state;
};

FakeHttpFetcher::FakeHttpFetcher(VirtualEventLoop& loop)
    : m_loop(loop), m_self(std::make_shared<FakeHttpFetcher*>(this)) {}

FakeHttpFetcher::~FakeHttpFetcher() {
    m_self.reset();
}

std::vector<std::string> FakeHttpFetcher::RequestedUrls() const {
    std::vector<std::string> urls;
    std::ranges::transform(m_requests, std::back_inserter(urls), &Request::url);
    return urls;
}

std::vector<std::string> FakeHttpFetcher::PendingUrls() const {
    std::vector<std::string> urls;
    std::ranges::transform(m_pending, std::back_inserter(urls), [](auto& s) { return s->url; });
    return urls;
}

bool FakeHttpFetcher::CompletePending(const std::string& url, const Response& response) {
    auto it = std::find_if(m_pending.begin(), m_pending.end(),
                           [&](const auto& state) { return url.empty() || state->url == url; });
    if (it == m_pending.end())
        return false;
    std::shared_ptr<State> state = *it;
    m_pending.erase(it);
    Schedule(state, ResultOf(state->url, response), response.delayMs);
    return true;
}

int FakeHttpFetcher::CompleteAllPending(const Response& response) {
    int count = 0;
    while (CompletePending({}, response))
        ++count;
    return count;
}

HttpResult FakeHttpFetcher::GetSync(const std::string& url) {
    m_requests.push_back({url, false});
    const Response response = Lookup(url);
    return ResultOf(url, response.never ? Response::TransportError(kTimeout) : response);
}

std::shared_ptr<IHttpRequest>
FakeHttpFetcher::GetAsync(const std::string& url, std::function<void(const HttpResult&)> done) {
    m_requests.push_back({url, true});
    auto state = std::make_shared<State>();
    state->url = url;
    state->done = std::move(done);
    const Response response = Lookup(url);
    if (response.never)
        m_pending.push_back(state);
    else
        Schedule(state, ResultOf(url, response), response.delayMs);
    return std::make_shared<FakeRequest>(m_self, state);
}

FakeHttpFetcher::Response FakeHttpFetcher::Lookup(const std::string& url) const {
    if (const auto exact = m_rules.find({url, false}); exact != m_rules.end())
        return exact->second;
    const Response* best = nullptr;
    std::size_t bestSize = 0;
    for (const auto& [rule, response] : m_rules)
        if (rule.second && url.starts_with(rule.first) && (!best || rule.first.size() > bestSize)) {
            best = &response;
            bestSize = rule.first.size();
        }
    return best ? *best : Response::TransportError(kUnreachable);
}

HttpResult FakeHttpFetcher::ResultOf(const std::string& url, const Response& response) {
    HttpResult result;
    result.finalUrl = url;
    if (response.transportError != 0) {
        result.error = response.transportError;
        return result;
    }
    result.httpStatus = response.status;
    result.error = (response.status >= 200 && response.status < 300) ? 0 : response.status;
    result.body = response.body;
    return result;
}

void FakeHttpFetcher::Schedule(const std::shared_ptr<State>& state, const HttpResult& result,
                               long delayMs) {
    state->result = result;
    auto deliver = [state] {
        if (state->delivered)
            return;
        state->delivered = true;
        auto done = std::move(state->done);
        state->done = nullptr;
        if (done)
            done(state->result);
    };
    if (delayMs > 0)
        m_loop.PostAfter(delayMs, std::move(deliver));
    else
        m_loop.Post(std::move(deliver));
}

void FakeHttpFetcher::OnAbort(const std::shared_ptr<State>& state) {
    if (state->delivered || state->aborted)
        return;
    state->aborted = true;
    ++m_abortCount;
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), state), m_pending.end());
    // An answer already on its way turns into the abort, which arrives at once.
    Schedule(state, HttpResult{kAborted, 0, {}, state->url}, 0);
}

} // namespace KDAutoUpdate
