#include "platform/qt/QtBrowserProfile.h"

#include <QCoreApplication>
#include <QUrl>

#include "platform/qt/QtPageSchemeHandler.h"
#include "platform/qt/QtResSchemeHandler.h"

namespace KDAutoUpdate {

namespace {

QtBrowserProfile* g_instance = nullptr;

} // namespace

QtBrowserProfile& QtBrowserProfile::Get() {
    if (!g_instance) {
        g_instance = new QtBrowserProfile();
        // Post routines run in the reverse order of their registration, and the engine
        // registered its own when it started (making the profile started it): the kept pages
        // go while the engine still runs.
        qAddPostRoutine(&QtBrowserProfile::Shutdown);
    }
    return *g_instance;
}

QtBrowserProfile::QtBrowserProfile() : m_profile(new QWebEngineProfile()) {
    m_resources = new QtResSchemeHandler(m_profile);
    m_pages = new QtPageSchemeHandler(m_profile);
    m_profile->installUrlSchemeHandler(QtResSchemeHandler::kScheme, m_resources);
    m_profile->installUrlSchemeHandler(QtPageSchemeHandler::kScheme, m_pages);
    m_release.setSingleShot(true);
    m_release.setInterval(kKeepMs);
    connect(&m_release, &QTimer::timeout, this, &QtBrowserProfile::DropKept);
}

void QtBrowserProfile::Shutdown() {
    if (!g_instance)
        return;
    g_instance->m_release.stop();
    for (QPointer<QWebEnginePage>& page : g_instance->m_kept)
        delete page.data();
    g_instance->m_kept.clear();
}

void QtBrowserProfile::Retire(QWebEnginePage* page) {
    if (!page)
        return;
    page->setParent(nullptr);
    // Its document is of no use any more; a blank page keeps the renderer all the same.
    page->setUrl(QUrl(QStringLiteral("about:blank")));
    m_kept.emplace_back(page);
    m_release.start();
}

void QtBrowserProfile::PageShown() {
    if (!m_kept.empty())
        DropKept();
}

void QtBrowserProfile::DropKept() {
    m_release.stop();
    // From the loop: a kept page may be delivering the event that led here.
    for (QPointer<QWebEnginePage>& page : m_kept)
        if (page)
            page->deleteLater();
    m_kept.clear();
}

} // namespace KDAutoUpdate
