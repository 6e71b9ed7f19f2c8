#include "platform/qt/QtRedirectGuard.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <memory>

#include "platform/NetworkLimits.h"

namespace KDAutoUpdate::QtRedirectGuard {

bool IsAllowed(const QUrl& from, const QUrl& to) {
    const QString scheme = to.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return !to.host().isEmpty();
    return scheme == QLatin1String("http") && from.scheme().toLower() == QLatin1String("http") &&
           from.host().compare(to.host(), Qt::CaseInsensitive) == 0;
}

void Prepare(QNetworkRequest& request, const NetworkLimits& limits) {
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits.maxRedirects);
}

void Watch(QNetworkReply* reply) {
    // The address of the answer that redirects: the request's, then each followed target.
    auto hop = std::make_shared<QUrl>(reply->request().url());
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, hop](const QUrl& target) {
        const QUrl next = hop->resolved(target);
        if (IsAllowed(*hop, next)) {
            *hop = next;
            emit reply->redirectAllowed();
            return;
        }
        reply->setProperty(kEndedByLimit, static_cast<int>(QNetworkReply::OperationCanceledError));
        reply->abort();
    });
}

} // namespace KDAutoUpdate::QtRedirectGuard
