#include "HostPlatform.h"

#include <QCoreApplication>

#include "platform/console/ScriptedRenderer.h"
#include "platform/headless/HeadlessBrowser.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtDownloaderFactory.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtProcessLauncher.h"
#include "platform/qt/QtResourceLibrary.h"
#include "platform/qt/QtUtilityLibrary.h"
#include "platform/qt/QtWebBrowserControl.h"

namespace KDAutoUpdate {

struct HostPlatform::Parts {
    QtEventLoop loop;
    QtHttpFetcher http;
    PugiXmlService xml{&http, &loop};
    QtUtilityLibrary utility;
    QtResourceLibrary resources;
    QtDownloaderFactory downloads;
    QtProcessLauncher processes;
    QtDesktop desktop;
    SodiumSignatureVerifier signatures;
    std::unique_ptr<ScriptedRenderer> scripted;
    std::unique_ptr<QtFormRenderer> desktopForms;
};

HostPlatform::HostPlatform(UiMode mode, long uiTimeoutMs) : m_parts(std::make_unique<Parts>()) {
    Parts& p = *m_parts;
    if (mode == UiMode::Scripted) {
        p.scripted = std::make_unique<ScriptedRenderer>(p.loop, [&p]() {
            return std::make_unique<HeadlessBrowser>(p.http, &p.resources, p.loop);
        });
        p.scripted->SetModalTimeoutMs(uiTimeoutMs);
        m_platform.forms = p.scripted.get();
    } else {
        p.desktopForms = std::make_unique<QtFormRenderer>(
            p.loop, &p.resources, [&p](QWidget* container) -> std::unique_ptr<IBrowserControl> {
                auto browser =
                    std::make_unique<QtWebBrowserControl>(container, p.http, &p.resources, p.loop);
                browser->SetDesktop(&p.desktop);
                return browser;
            });
        m_platform.forms = p.desktopForms.get();
    }
    m_platform.xml = &p.xml;
    m_platform.loop = &p.loop;
    m_platform.utility = &p.utility;
    m_platform.resources = &p.resources;
    m_platform.loadedForms = &m_loadedForms;
    m_platform.downloads = &p.downloads;
    m_platform.processes = &p.processes;
    m_platform.desktop = &p.desktop;
    m_platform.signatures = &p.signatures;
    m_platform.programFolder = QCoreApplication::applicationDirPath().toStdString();
    m_platform.pathSeparator = '/';
}

HostPlatform::~HostPlatform() = default;

ScriptedRenderer* HostPlatform::Scripted() const {
    return m_parts->scripted.get();
}

QtFormRenderer* HostPlatform::Desktop() const {
    return m_parts->desktopForms.get();
}

} // namespace KDAutoUpdate
