#include "platform/qt/QtDesktop.h"

#include <QCoreApplication>
#include <QProcess>
#include <QUrl>

#include "platform/qt/QtProcessLauncher.h"

namespace KDAutoUpdate {

namespace {
QtDesktop::DesktopServices& Services() {
    static QtDesktop::DesktopServices services;
    return services;
}
} // namespace

void QtDesktop::SetDesktopServices(DesktopServices services) {
    Services() = std::move(services);
}

QtDesktop::QtDesktop(std::string opener, bool useDesktopServices)
    : m_opener(std::move(opener)), m_useDesktopServices(useDesktopServices) {}

bool QtDesktop::OpenUrl(const std::string& url) {
    try {
        const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
        const QString scheme = address.scheme();
        if (!address.isValid() || address.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
             scheme != QLatin1String("ftp")))
            return false;
        const QCoreApplication* app = QCoreApplication::instance();
        if (m_useDesktopServices && Services() && app && app->inherits("QGuiApplication") &&
            Services()(address))
            return true;
        const QString opener = QString::fromStdString(QtProcessLauncher::ResolveProgram(m_opener));
        if (opener.isEmpty())
            return false;
        return QProcess::startDetached(opener, {address.toString(QUrl::FullyEncoded)});
    } catch (...) {
        return false;
    }
}

} // namespace KDAutoUpdate
