#pragma once
// The Win32 renderer: any form definition becomes a Win32FormView; message boxes are the
// system's, titled with the application title unless they bring their own.

#include <windows.h>

#include "platform/FormView.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

class Win32FormRenderer final : public IFormRenderer {
public:
    static constexpr const char* kApplicationTitle = "Keldra Update Service";

    Win32FormRenderer();
    ~Win32FormRenderer() override;
    Win32FormRenderer(const Win32FormRenderer&) = delete;
    Win32FormRenderer& operator=(const Win32FormRenderer&) = delete;

    std::unique_ptr<IFormView> CreateView(const FormDef& def, IFormEvents& events) override;
    // Owned by the thread's active window, so it is modal to it.
    MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                        const std::string& title) override;
    // The work area (the screen without task bars) in twips.
    TwipRect Screen() const override;
    int Dpi() const { return m_dpi; }
    // The resource library the forms' animations come from.
    void SetResources(IResourceLibrary* resources) { m_resources = resources; }

private:
    HFONT FontFor(const FormDef& def);

    int m_dpi = 96;
    IResourceLibrary* m_resources = nullptr;
    HFONT m_font = nullptr; // the dialog font, made for the first form that asks
    std::string m_fontName;
    double m_fontSize = 0;
};

} // namespace KDAutoUpdate
