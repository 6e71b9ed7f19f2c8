#pragma once
// Serves page bodies that are held in memory, for pages too large for QWebEnginePage::setContent
// (its data: URL is limited to 2 MB). Each body gets a URL "kdau-page:/<key>" of its own until
// it is removed.

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <map>

namespace KDAutoUpdate {

class QtPageSchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "kdau-page";

    explicit QtPageSchemeHandler(QObject* parent = nullptr);

    // Keeps `body` and answers the URL that serves it with `contentType`.
    QUrl Add(QByteArray body, QByteArray contentType);
    void Remove(const QUrl& url);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    struct Page {
        QByteArray body;
        QByteArray contentType;
    };
    static QString KeyOf(const QUrl& url);

    std::map<QString, Page> m_pages;
    quint64 m_nextKey = 1;
};

} // namespace KDAutoUpdate
