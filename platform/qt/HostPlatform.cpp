#include "platform/qt/HostPlatform.h"

#include <QCoreApplication>

#include "platform/console/ScriptedRenderer.h"
#include "platform/headless/HeadlessBrowser.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/qt/DesktopForms.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtDownloaderFactory.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtHttpFetcher.h"
#include "platform/qt/QtProcessLauncher.h"
#include "platform/qt/QtResourceLibrary.h"
#include "platform/qt/QtTextCase.h"
#include "platform/qt/QtUtilityLibrary.h"
#include "platform/qt/SdkFolders.h"
#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/zstd/ZstdPatchApplier.h"

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
    QtTextCase textCase;
    SodiumSignatureVerifier signatures;
    ZstdPatchApplier patches;
    std::unique_ptr<ScriptedRenderer> scripted;
    std::unique_ptr<DesktopForms> desktopForms;
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
        p.desktopForms = std::make_unique<DesktopForms>(
            DesktopFormsParts{&p.loop, &p.http, &p.resources, &p.desktop});
        m_platform.forms = p.desktopForms.get();
    }
    // A host installed without the resource library beside it uses the installed one.
    const std::string data = SdkFolders::DataFolder();
    if (!data.empty())
        p.resources.SetFallbackFolder(data);
    m_platform.xml = &p.xml;
    m_platform.loop = &p.loop;
    m_platform.utility = &p.utility;
    m_platform.resources = &p.resources;
    m_platform.loadedForms = &m_loadedForms;
    m_platform.downloads = &p.downloads;
    m_platform.processes = &p.processes;
    m_platform.desktop = &p.desktop;
    m_platform.textCase = &p.textCase;
    m_platform.signatures = &p.signatures;
    m_platform.patches = &p.patches;
    m_platform.programFolder = QCoreApplication::applicationDirPath().toStdString();
    m_platform.pathSeparator = '/';
}

HostPlatform::~HostPlatform() = default;

ScriptedRenderer* HostPlatform::Scripted() const {
    return m_parts->scripted.get();
}

QtFormRenderer* HostPlatform::Desktop() const {
    // The desktop library's renderer is a QtFormRenderer; no type information crosses the
    // library boundary, so the cast is a static one.
    return m_parts->desktopForms ? static_cast<QtFormRenderer*>(m_parts->desktopForms->Renderer())
                                 : nullptr;
}

bool HostPlatform::PrepareDesktopApplication(bool loadBrowserNow) {
    return DesktopForms::PrepareApplication(loadBrowserNow);
}

} // namespace KDAutoUpdate
