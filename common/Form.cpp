#include "Form.h"

#include <algorithm>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/LoadedForms.h"

namespace KDAutoUpdate {

namespace {
std::vector<Form*>& LoadedOnThread() {
    thread_local std::vector<Form*> forms;
    return forms;
}

void Forget(Form* form) {
    std::vector<Form*>& forms = LoadedOnThread();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}
} // namespace

Form* Form::LoadedForm(const std::string& name) {
    for (Form* form : LoadedOnThread())
        if (form->Name() == name)
            return form;
    return nullptr;
}

Form::Form(Platform& platform, FormDef def) : m_platform(platform), m_def(std::move(def)) {}

Form::~Form() {
    if (m_view) {
        m_view->Destroy();
        m_view.reset();
        Forget(this);
        if (m_platform.loadedForms)
            m_platform.loadedForms->Remove(m_def.name);
    }
}

bool Form::Load() {
    if (m_view)
        return true;
    if (!m_platform.forms)
        return false;
    m_view = m_platform.forms->CreateView(m_def, *this);
    if (!m_view)
        return false;
    LoadedOnThread().push_back(this);
    if (m_platform.loadedForms)
        m_platform.loadedForms->Add(m_def.name);
    Form_Load();
    return true;
}

bool Form::Unload(UnloadMode mode) {
    if (!m_view || m_unloading)
        return m_view == nullptr;
    if (Form_QueryUnload(mode))
        return false;
    m_unloading = true;
    Form_Unload();
    std::unique_ptr<IFormView> view = std::move(m_view);
    Forget(this);
    if (m_platform.loadedForms)
        m_platform.loadedForms->Remove(m_def.name);
    m_unloading = false;
    view->Destroy();
    // The view may be in the middle of delivering the event that led here: free it once the
    // current event is done.
    if (m_platform.loop) {
        std::shared_ptr<IFormView> doomed(std::move(view));
        m_platform.loop->Post([doomed] {});
    }
    return true;
}

void Form::ShowModal(WindowHandle owner) {
    if (m_view)
        m_view->ShowModal(owner);
}

void Form::ShowModeless(WindowHandle owner) {
    if (m_view)
        m_view->ShowModeless(owner);
}

void Form::Hide() {
    if (m_view)
        m_view->Hide();
}

void Form::OnClick(const std::string& control, int index) {
    Control_Click(control, index);
}

void Form::OnCloseRequested(UnloadMode mode) {
    Unload(mode);
}

void Form::SetText(const std::string& control, const std::string& text, int index) {
    if (m_view)
        m_view->SetText(control, index, text);
}

std::string Form::Text(const std::string& control, int index) const {
    return m_view ? m_view->Text(control, index) : std::string();
}

void Form::SetValue(const std::string& control, double value, int index) {
    if (m_view)
        m_view->SetValue(control, index, value);
}

double Form::Value(const std::string& control, int index) const {
    return m_view ? m_view->Value(control, index) : 0.0;
}

void Form::SetCaption(const std::string& text) {
    if (m_view)
        m_view->SetCaption(text);
}

void Form::DoEvents() {
    if (m_platform.loop)
        m_platform.loop->ProcessPendingEvents();
}

} // namespace KDAutoUpdate
