#pragma once
// Base of every window: owns the form definition and, while loaded, the toolkit's view.
// Subclasses write the event handlers; the renderer only draws and reports.

#include <memory>
#include <string>

#include "platform/FormDefinition.h"
#include "platform/FormView.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

class Form : public IFormEvents {
public:
    Form(Platform& platform, FormDef def);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Creates the view, registers the form as loaded and runs Form_Load. True when loaded.
    bool Load();
    // Runs Form_QueryUnload (a form may refuse only a user's close) and Form_Unload, then
    // removes the view. Answers false when the unload was refused.
    bool Unload(UnloadMode mode = UnloadMode::Code);
    bool IsLoaded() const { return m_view != nullptr; }
    // The loaded form of that name on this thread, or null: a dialog finds its owner window
    // by name without knowing the owner's class.
    static Form* LoadedForm(const std::string& name);

    void ShowModal(WindowHandle owner = 0);
    void ShowModeless(WindowHandle owner = 0);
    void Hide();

    const std::string& Name() const { return m_def.name; }
    const FormDef& Def() const { return m_def; }
    IFormView* View() const { return m_view.get(); }
    Platform& GetPlatform() const { return m_platform; }

    // IFormEvents.
    void OnClick(const std::string& control, int index) override;
    void OnCloseRequested(UnloadMode mode) override;
    void OnResize() override { Form_Resize(); }
    void OnControlResize(const std::string& control) override { Control_Resize(control); }

protected:
    virtual void Form_Load() {}
    // Answers true to cancel the unload.
    virtual bool Form_QueryUnload(UnloadMode) { return false; }
    virtual void Form_Unload() {}
    virtual void Form_Resize() {}
    virtual void Control_Resize(const std::string&) {}
    virtual void Control_Click(const std::string& control, int index) = 0;

    // Convenience accessors that ignore a missing view.
    void SetText(const std::string& control, const std::string& text, int index = -1);
    std::string Text(const std::string& control, int index = -1) const;
    void SetValue(const std::string& control, double value, int index = -1);
    double Value(const std::string& control, int index = -1) const;
    void SetCaption(const std::string& text);
    // Lets pending events run once.
    void DoEvents();

private:
    Platform& m_platform;
    FormDef m_def;
    std::unique_ptr<IFormView> m_view;
    bool m_unloading = false;
};

} // namespace KDAutoUpdate
