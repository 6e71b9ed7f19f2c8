#include "platform/qt/QtResSchemeHandler.h"

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>

#include <algorithm>

#include "platform/ResourceLibrary.h"
#include "platform/portable/ResUrl.h"

namespace KDAutoUpdate {

namespace {

std::string LowerExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

} // namespace

QtResSchemeHandler::QtResSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

void QtResSchemeHandler::Attach(IResourceLibrary* resources) {
    if (resources)
        m_libraries.push_back(resources);
}

void QtResSchemeHandler::Detach(IResourceLibrary* resources) {
    // One attachment per control: a library two controls share stays until both let it go.
    const auto it = std::find(m_libraries.begin(), m_libraries.end(), resources);
    if (it != m_libraries.end())
        m_libraries.erase(it);
}

std::optional<std::string> QtResSchemeHandler::Read(const std::string& url) const {
    std::string filePath;
    std::string resourceName;
    try {
        if (!ParseResUrl(url, filePath, resourceName))
            return std::nullopt;
        for (IResourceLibrary* library : m_libraries)
            if (library->IsOpen() && library->ResourceFilePath() == filePath)
                return library->ReadResource(resourceName);
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

QByteArray QtResSchemeHandler::MimeTypeOf(const std::string& resourceName) {
    const std::string extension = LowerExtension(resourceName);
    if (extension == "html" || extension == "htm")
        return "text/html; charset=utf-8";
    if (extension == "gif")
        return "image/gif";
    if (extension == "png")
        return "image/png";
    if (extension == "jpg" || extension == "jpeg")
        return "image/jpeg";
    if (extension == "ico")
        return "image/x-icon";
    if (extension == "svg")
        return "image/svg+xml";
    if (extension == "css")
        return "text/css; charset=utf-8";
    if (extension == "js")
        return "text/javascript; charset=utf-8";
    return "application/octet-stream";
}

void QtResSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    if (job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    // Fully encoded, so the file path decodes exactly as ResourceUrlPath encoded it.
    const std::string url = job->requestUrl().toString(QUrl::FullyEncoded).toStdString();
    std::string filePath;
    std::string resourceName;
    if (!ParseResUrl(url, filePath, resourceName)) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    std::optional<std::string> data = Read(url);
    if (!data) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job owns the buffer and reads it after this returns.
    auto* buffer = new QBuffer(job);
    buffer->setData(QByteArray::fromStdString(*data));
    job->reply(MimeTypeOf(resourceName), buffer);
}

} // namespace KDAutoUpdate
