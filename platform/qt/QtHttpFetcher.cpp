#include "platform/qt/QtHttpFetcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "platform/qt/QtRedirectGuard.h"

namespace KDAutoUpdate {

namespace {

// The URL of a request as the agent built it: the query after the first "?" is data to the
// end, so "#", blanks, quotes, "|", braces and "%" in a value are escaped instead of ending the
// query or being taken for escapes. "&", "=" and "+" stay as they are: they are its structure.
QUrl RequestUrl(const std::string& url) {
    const std::size_t question = url.find('?');
    if (question == std::string::npos)
        return QUrl(QString::fromStdString(url));
    QUrl result(QString::fromStdString(url.substr(0, question)));
    const QByteArray query =
        QByteArray::fromStdString(url.substr(question + 1)).toPercentEncoding("&=+,;:@/?!$'()*");
    result.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return result;
}

HttpResult Failure(int error, const std::string& url) {
    HttpResult result;
    result.error = error;
    result.finalUrl = url;
    return result;
}

using QtRedirectGuard::kEndedByLimit;

void EndOver(QNetworkReply* reply, QNetworkReply::NetworkError reason) {
    if (reply->property(kEndedByLimit).isValid() || reply->isFinished())
        return;
    reply->setProperty(kEndedByLimit, static_cast<int>(reason));
    reply->abort();
}

} // namespace

// What a request and its pending answer share. The answer is computed when the reply ends and
// delivered from a queued call, so the callback never runs inside GetAsync or Abort.
struct RequestState {
    std::function<void(const HttpResult&)> done;
    HttpResult result;
    QPointer<QNetworkReply> reply;
    bool scheduled = false;
    bool delivered = false;
};

class QtHttpFetcher::Request : public IHttpRequest {
public:
    Request(std::shared_ptr<RequestState> state, QObject* context)
        : m_state(std::move(state)), m_context(context) {}

    void Abort() override {
        const std::shared_ptr<RequestState> state = m_state;
        if (state->delivered)
            return;
        if (!state->scheduled && state->reply)
            state->reply->abort(); // emits finished: the answer is scheduled there
        HttpResult aborted = Failure(-static_cast<int>(QNetworkReply::OperationCanceledError),
                                     state->result.finalUrl);
        state->result = aborted;
        if (!state->scheduled)
            Schedule(state, m_context);
    }

    static void Schedule(const std::shared_ptr<RequestState>& state, QObject* context) {
        state->scheduled = true;
        if (!context)
            return;
        QMetaObject::invokeMethod(
            context,
            [state] {
                if (state->delivered)
                    return;
                state->delivered = true;
                auto done = std::move(state->done);
                state->done = nullptr;
                if (done)
                    done(state->result);
            },
            Qt::QueuedConnection);
    }

private:
    std::shared_ptr<RequestState> m_state;
    QPointer<QObject> m_context;
};

QtHttpFetcher::QtHttpFetcher(NetworkLimits limits)
    : m_limits(limits), m_context(std::make_unique<QObject>()),
      m_manager(std::make_unique<QNetworkAccessManager>()) {
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QtHttpFetcher::~QtHttpFetcher() {
    // Replies are children of the manager; their answers are dropped with the context.
    m_context.reset();
    m_manager.reset();
}

QNetworkReply* QtHttpFetcher::Start(const std::string& url) {
    QNetworkRequest request(RequestUrl(url));
    QtRedirectGuard::Prepare(request, m_limits);
    request.setTransferTimeout(std::max(0, m_limits.stallTimeoutMs));
    QNetworkReply* reply = m_manager->get(request);
    if (!reply)
        return nullptr;
    QtRedirectGuard::Watch(reply);
    // Memory: Qt holds the whole answer until it is read, so the bound is checked as it grows.
    const long long maxBytes = m_limits.maxAnswerBytes;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, maxBytes](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes)
                             EndOver(reply, QNetworkReply::UnknownContentError);
                     });
    // An answer that arrived whole at once is judged when it ends (connected first, so before
    // the result is read).
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, maxBytes] {
        if (!reply->property(kEndedByLimit).isValid() && reply->bytesAvailable() > maxBytes)
            reply->setProperty(kEndedByLimit, static_cast<int>(QNetworkReply::UnknownContentError));
    });
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply,
                     [reply] { EndOver(reply, QNetworkReply::TimeoutError); });
    deadline->start(std::max(0, m_limits.answerDeadlineMs));
    return reply;
}

HttpResult QtHttpFetcher::ResultOf(QNetworkReply& reply, const std::string& url) {
    HttpResult result;
    // Unless redirected, the answer is that of the URL as the caller spelled it.
    result.finalUrl =
        reply.url() == reply.request().url() ? url : reply.url().toString().toStdString();
    result.contentType = reply.rawHeader("Content-Type").toStdString();
    if (const QVariant over = reply.property(kEndedByLimit); over.isValid()) {
        result.error = -over.toInt();
        return result;
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        result.httpStatus = status.toInt();
        result.error =
            (result.httpStatus >= 200 && result.httpStatus < 300) ? 0 : result.httpStatus;
        // An answer cut short still counts as a failed transfer.
        if (result.error == 0 && reply.error() != QNetworkReply::NoError)
            result.error = -std::max(1, static_cast<int>(reply.error()));
        const QByteArray body = reply.readAll();
        result.body.assign(body.constData(), static_cast<std::size_t>(body.size()));
        return result;
    }
    result.error = reply.error() == QNetworkReply::NoError
                       ? -static_cast<int>(QNetworkReply::UnknownNetworkError)
                       : -std::max(1, static_cast<int>(reply.error()));
    return result;
}

HttpResult QtHttpFetcher::GetSync(const std::string& url) {
    if (!QCoreApplication::instance())
        return Failure(-static_cast<int>(QNetworkReply::UnknownNetworkError), url);
    QPointer<QNetworkReply> reply = Start(url);
    if (!reply)
        return Failure(-static_cast<int>(QNetworkReply::UnknownNetworkError), url);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply.data(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!reply)
        return Failure(-static_cast<int>(QNetworkReply::OperationCanceledError), url);
    HttpResult result = ResultOf(*reply, url);
    reply->deleteLater();
    return result;
}

std::shared_ptr<IHttpRequest> QtHttpFetcher::GetAsync(const std::string& url,
                                                      std::function<void(const HttpResult&)> done) {
    auto state = std::make_shared<RequestState>();
    state->done = std::move(done);
    state->result.finalUrl = url;
    QObject* context = m_context.get();
    QNetworkReply* reply = Start(url);
    if (!reply) {
        state->result = Failure(-static_cast<int>(QNetworkReply::UnknownNetworkError), url);
        Request::Schedule(state, context);
        return std::make_shared<Request>(state, context);
    }
    state->reply = reply;
    QObject::connect(reply, &QNetworkReply::finished, context, [state, reply, context, url] {
        if (!state->scheduled) {
            state->result = ResultOf(*reply, url);
            Request::Schedule(state, context);
        }
        reply->deleteLater();
    });
    return std::make_shared<Request>(state, context);
}

} // namespace KDAutoUpdate
