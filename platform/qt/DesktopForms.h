#pragma once
// The real windows come from libkdautoupdate-desktop (Qt Widgets and the Qt WebEngine browser),
// which the host platform loads only when the first window is made or a message box is shown:
// a check, or a host that never shows a window, loads none of it.
//
// The desktop library exports one C function, kdau_create_desktop_forms, that makes its Qt
// Widgets renderer from the parts below. DesktopForms stands in for that renderer and loads
// the library on first use; when the library cannot be loaded, every window fails to open and
// every message box answers Cancel.

#include <memory>
#include <string>

#include "platform/FormView.h"

namespace KDAutoUpdate {

class IEventLoop;
class IHttpFetcher;
class IResourceLibrary;
class IDesktop;

struct DesktopFormsParts {
    IEventLoop* loop = nullptr;
    IHttpFetcher* http = nullptr;
    IResourceLibrary* resources = nullptr;
    IDesktop* desktop = nullptr;
};

// The desktop library's entry points (extern "C"). The caller owns the renderer.
using CreateDesktopFormsFunction = IFormRenderer* (*)(const DesktopFormsParts* parts);
inline constexpr const char* kCreateDesktopFormsSymbol = "kdau_create_desktop_forms";
// Registers the browser's URL schemes (Qt WebEngine takes them until it starts).
inline constexpr const char* kRegisterBrowserSchemesSymbol = "kdau_register_browser_schemes";

class DesktopForms final : public IFormRenderer {
public:
    explicit DesktopForms(const DesktopFormsParts& parts) : m_parts(parts) {}
    ~DesktopForms() override;
    DesktopForms(const DesktopForms&) = delete;
    DesktopForms& operator=(const DesktopForms&) = delete;

    // Loads the desktop library now (a host that wants WebEngine's schemes registered early,
    // or the renderer's own type); null when it cannot be loaded.
    IFormRenderer* Renderer();
    // The loader's message when the library could not be loaded.
    const std::string& LoadError() const { return m_error; }

    std::unique_ptr<IFormView> CreateView(const FormDef& def, IFormEvents& events) override;
    MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                        const std::string& title) override;
    TwipRect Screen() const override;

    // Before the QApplication exists: lets the browser share the application's graphics
    // context and sets the engine's switches (QtEngineSwitches), without loading the desktop
    // library. The library registers the browser's URL schemes when it loads, which Qt
    // WebEngine accepts until it starts; a host that starts the engine itself earlier passes
    // `loadBrowserNow`, which loads the library and registers them at once. False when a
    // QApplication exists already or the library could not be loaded.
    static bool PrepareApplication(bool loadBrowserNow = false);

private:
    IFormRenderer* Load() const;

    DesktopFormsParts m_parts;
    mutable std::unique_ptr<IFormRenderer> m_renderer;
    mutable bool m_tried = false;
    mutable std::string m_error;
};

} // namespace KDAutoUpdate
