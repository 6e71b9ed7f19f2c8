#include "platform/qt/DesktopForms.h"

#include <QCoreApplication>

#include <dlfcn.h>

#include "platform/qt/QtEngineSwitches.h"
#include "platform/qt/SdkFolders.h"

namespace KDAutoUpdate {

namespace {

// The library stays loaded for the life of the process: Qt's libraries do not unload cleanly.
void* DesktopLibrary(std::string& error) {
    static void* handle = nullptr;
    static std::string loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        // Beside this library first (a build tree, a private prefix), then the loader's path.
        const std::string folder = SdkFolders::LibraryFolder();
        if (!folder.empty())
            handle = dlopen((folder + "/" + KDAU_DESKTOP_LIBRARY).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            handle = dlopen(KDAU_DESKTOP_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* message = dlerror();
            loadError = message ? message : KDAU_DESKTOP_LIBRARY " could not be loaded";
        }
    }
    error = loadError;
    return handle;
}

template <typename Function> Function Resolve(const char* name, std::string& error) {
    void* library = DesktopLibrary(error);
    void* symbol = library ? dlsym(library, name) : nullptr;
    if (library && !symbol)
        error = std::string(name) + " missing in " + KDAU_DESKTOP_LIBRARY;
    return reinterpret_cast<Function>(symbol);
}

} // namespace

DesktopForms::~DesktopForms() = default;

IFormRenderer* DesktopForms::Load() const {
    if (!m_tried) {
        m_tried = true;
        if (auto create = Resolve<CreateDesktopFormsFunction>(kCreateDesktopFormsSymbol, m_error))
            m_renderer.reset(create(&m_parts));
    }
    return m_renderer.get();
}

IFormRenderer* DesktopForms::Renderer() {
    return Load();
}

std::unique_ptr<IFormView> DesktopForms::CreateView(const FormDef& def, IFormEvents& events) {
    IFormRenderer* renderer = Load();
    return renderer ? renderer->CreateView(def, events) : nullptr;
}

MsgBoxResult DesktopForms::MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                                  const std::string& title) {
    IFormRenderer* renderer = Load();
    return renderer ? renderer->MsgBox(text, buttons, icon, title) : MsgBoxResult::Cancel;
}

TwipRect DesktopForms::Screen() const {
    const IFormRenderer* renderer = Load();
    return renderer ? renderer->Screen() : TwipRect{};
}

bool DesktopForms::PrepareApplication(bool loadBrowserNow) {
    if (QCoreApplication::instance())
        return false;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QtEngineSwitches::ApplyUnlessSet();
    if (!loadBrowserNow)
        return true;
    std::string error;
    auto registerSchemes = Resolve<void (*)()>(kRegisterBrowserSchemesSymbol, error);
    if (registerSchemes)
        registerSchemes();
    return registerSchemes != nullptr;
}

} // namespace KDAutoUpdate
