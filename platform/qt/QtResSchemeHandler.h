#pragma once
// Serves res:// URLs to Qt WebEngine from the opened resource library: the progress page and
// the animations beside it. Only the library that is open now is reachable; a URL naming
// another file finds nothing.

#include <QWebEngineUrlSchemeHandler>

#include <optional>
#include <string>

namespace KDAutoUpdate {

class IResourceLibrary;

class QtResSchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "res";

    // `resources` may be null: every request then fails as not found.
    explicit QtResSchemeHandler(IResourceLibrary* resources, QObject* parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The resource of a res:// URL, as the handler would serve it; nullopt when the URL is
    // malformed, names another file or a resource the library lacks.
    std::optional<std::string> Read(const std::string& url) const;
    // Content type by the resource name's extension ("text/html; charset=utf-8", "image/gif").
    static QByteArray MimeTypeOf(const std::string& resourceName);

private:
    IResourceLibrary* m_resources;
};

} // namespace KDAutoUpdate
