#pragma once
// Serves res:// URLs to Qt WebEngine from the opened resource libraries of the browser controls
// alive in this process: the progress page and the animations beside it. A URL names its
// library's file; a URL naming a file no attached library has open finds nothing.

#include <QWebEngineUrlSchemeHandler>

#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate {

class IResourceLibrary;

class QtResSchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "res";

    explicit QtResSchemeHandler(QObject* parent = nullptr);

    // A control's library is reachable from attaching it until detaching it. Null is ignored.
    void Attach(IResourceLibrary* resources);
    void Detach(IResourceLibrary* resources);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The resource of a res:// URL, as the handler would serve it; nullopt when the URL is
    // malformed, names a file no attached library has open, or a resource it lacks.
    std::optional<std::string> Read(const std::string& url) const;
    // Content type by the resource name's extension ("text/html; charset=utf-8", "image/gif").
    static QByteArray MimeTypeOf(const std::string& resourceName);

private:
    std::vector<IResourceLibrary*> m_libraries;
};

} // namespace KDAutoUpdate
