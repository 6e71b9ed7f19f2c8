#pragma once
// The download's transport on QNetworkAccessManager: one GET at a time, redirects as
// QtRedirectGuard allows, HTTPS verified by Qt's defaults, no byte for `stallTimeoutMs` an
// interruption. Bodies of redirects and of answers not yet final are dropped.

#include <memory>
#include <vector>

#include <QPointer>

#include "platform/DownloadTransport.h"
#include "platform/NetworkLimits.h"

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace KDAutoUpdate {

class QtDownloadTransport : public IDownloadTransport {
public:
    explicit QtDownloadTransport(NetworkLimits limits = {});
    ~QtDownloadTransport() override;
    QtDownloadTransport(const QtDownloadTransport&) = delete;
    QtDownloadTransport& operator=(const QtDownloadTransport&) = delete;

    bool Start(const std::string& url, const std::vector<DownloadHeader>& headers,
               IDownloadTransportEvents& events) override;
    void Abort() override;

private:
    void OnReadyRead();
    void OnFinished();
    // Tells the answer once it is the final one; false while it is not (a redirect).
    bool Answer(QNetworkReply& reply);

    NetworkLimits m_limits;
    IDownloadTransportEvents* m_events = nullptr;
    bool m_answered = false;
    std::vector<char> m_buffer;
    QPointer<QNetworkReply> m_reply;
    // Connections die with this object.
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace KDAutoUpdate
