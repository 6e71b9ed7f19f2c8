#pragma once
// Which redirects a request of the agent may follow: to https anywhere, or over http within
// the same host. Anything else (https to http, plain http to another host, other schemes)
// ends the request.

class QNetworkReply;
class QNetworkRequest;
class QUrl;

namespace KDAutoUpdate {

struct NetworkLimits;

namespace QtRedirectGuard {

// Set on a reply that a bound of the agent ended (the int of a QNetworkReply::NetworkError),
// so its result can say which.
constexpr const char* kEndedByLimit = "kdauEndedByLimit";

bool IsAllowed(const QUrl& from, const QUrl& to);
// Makes `request` ask before each redirect, at most `limits.maxRedirects` of them.
void Prepare(QNetworkRequest& request, const NetworkLimits& limits);
// Answers each redirect of `reply`: followed when allowed, the reply aborted otherwise (as
// OperationCanceledError under kEndedByLimit).
void Watch(QNetworkReply* reply);

} // namespace QtRedirectGuard
} // namespace KDAutoUpdate
