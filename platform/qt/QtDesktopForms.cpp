// The entry points of libkdautoupdate-desktop that the host platform finds by name when it
// loads the library (see DesktopForms.h).

#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QUrl>

#include "platform/qt/DesktopForms.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtResourceLibrary.h"
#include "platform/qt/QtWebBrowserControl.h"

namespace KDAutoUpdate {

namespace {

// Pictures at a size the library does not store are scaled here, where Qt Gui is loaded.
std::optional<std::string> ScalePng(const std::string& png, int size) {
    const QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
             .save(&buffer, "PNG"))
        return std::nullopt;
    return bytes.toStdString();
}

// Loading this library gives the Qt backends of libkdautoupdate what needs Qt Gui.
[[maybe_unused]] const bool kRegistered = [] {
    QtResourceLibrary::SetPictureScaler(&ScalePng);
    QtDesktop::SetDesktopServices([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    return true;
}();

} // namespace

} // namespace KDAutoUpdate

using namespace KDAutoUpdate;

extern "C" __attribute__((visibility("default"))) IFormRenderer*
kdau_create_desktop_forms(const DesktopFormsParts* parts) {
    try {
        DesktopFormsParts p = *parts;
        return new QtFormRenderer(
            *p.loop, p.resources, [p](QWidget* container) -> std::unique_ptr<IBrowserControl> {
                auto browser =
                    std::make_unique<QtWebBrowserControl>(container, *p.http, p.resources, *p.loop);
                browser->SetDesktop(p.desktop);
                return browser;
            });
    } catch (...) {
        return nullptr;
    }
}

extern "C" __attribute__((visibility("default"))) void kdau_register_browser_schemes() {
    QtWebBrowserControl::RegisterSchemes();
}
