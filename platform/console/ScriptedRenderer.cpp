#include "platform/console/ScriptedRenderer.h"

#include <algorithm>

namespace KDAutoUpdate {

namespace {
// Where the window system puts new windows: a cascade from near the top left corner.
constexpr double kCascadeLeft = 1800;
constexpr double kCascadeTop = 1350;
constexpr double kCascadeStep = 450;
constexpr int kCascadeSteps = 8;

bool Offers(MsgBoxButtons buttons, MsgBoxResult answer) {
    switch (buttons) {
    case MsgBoxButtons::OK:
        return answer == MsgBoxResult::OK;
    case MsgBoxButtons::OKCancel:
        return answer == MsgBoxResult::OK || answer == MsgBoxResult::Cancel;
    case MsgBoxButtons::YesNo:
        return answer == MsgBoxResult::Yes || answer == MsgBoxResult::No;
    case MsgBoxButtons::YesNoCancel:
        return answer == MsgBoxResult::Yes || answer == MsgBoxResult::No ||
               answer == MsgBoxResult::Cancel;
    }
    return false;
}

MsgBoxResult FirstButton(MsgBoxButtons buttons) {
    return buttons == MsgBoxButtons::YesNo || buttons == MsgBoxButtons::YesNoCancel
               ? MsgBoxResult::Yes
               : MsgBoxResult::OK;
}
} // namespace

ScriptedRenderer::ScriptedRenderer(IEventLoop& loop, BrowserFactory browsers)
    : m_loop(loop), m_browsers(std::move(browsers)) {}

ScriptedRenderer::~ScriptedRenderer() {
    for (ScriptedView* view : m_views)
        view->m_renderer = nullptr;
}

ScriptedView* ScriptedRenderer::Find(const std::string& formName) const {
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it)
        if ((*it)->Name() == formName)
            return *it;
    return nullptr;
}

std::vector<ScriptedView*> ScriptedRenderer::Views() const {
    return m_views;
}

ScriptedView* ScriptedRenderer::FindByHandle(WindowHandle handle) const {
    if (handle == 0)
        return nullptr;
    for (ScriptedView* view : m_views)
        if (view->Handle() == handle)
            return view;
    return nullptr;
}

ScriptedView* ScriptedRenderer::Visible(const std::string& form) const {
    ScriptedView* view = Find(form);
    return view && view->IsVisible() ? view : nullptr;
}

void ScriptedRenderer::Unregister(const ScriptedView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

bool ScriptedRenderer::Click(const std::string& form, const std::string& control, int index) {
    ScriptedView* view = Visible(form);
    ScriptedView::ControlState* state = view ? view->State(control, index) : nullptr;
    if (!state || state->def->kind == ControlKind::Invisible)
        return false;
    if (state->def->kind == ControlKind::CheckBox)
        state->value = state->value != 0 ? 0 : 1;
    else if (state->def->kind == ControlKind::OptionButton)
        view->SetValue(control, index, 1);
    // The handler may unload the form: nothing of the view is touched after it.
    view->Events().OnClick(control, index);
    return true;
}

bool ScriptedRenderer::SetChecked(const std::string& form, const std::string& control, bool checked,
                                  int index) {
    ScriptedView* view = Visible(form);
    const ScriptedView::ControlState* state = view ? view->State(control, index) : nullptr;
    if (!state)
        return false;
    const bool isChecked = state->value != 0;
    switch (state->def->kind) {
    case ControlKind::CheckBox:
        return isChecked == checked || Click(form, control, index);
    case ControlKind::OptionButton:
        return checked && (isChecked || Click(form, control, index));
    default:
        return false;
    }
}

bool ScriptedRenderer::Close(const std::string& form) {
    ScriptedView* view = Visible(form);
    if (!view)
        return false;
    view->Events().OnCloseRequested(UnloadMode::ControlMenu);
    return true;
}

bool ScriptedRenderer::PressEnter(const std::string& form) {
    ScriptedView* view = Visible(form);
    if (!view)
        return false;
    for (const ControlDef& c : view->Def().controls)
        if (c.isDefault)
            return Click(form, c.name, c.index);
    return false;
}

bool ScriptedRenderer::PressEscape(const std::string& form) {
    ScriptedView* view = Visible(form);
    if (!view)
        return false;
    for (const ControlDef& c : view->Def().controls)
        if (c.isCancel)
            return Click(form, c.name, c.index);
    return false;
}

bool ScriptedRenderer::Resize(const std::string& form, double widthTwips, double heightTwips) {
    ScriptedView* view = Visible(form);
    if (!view || view->Def().border != BorderStyle::Sizable || widthTwips < 0 || heightTwips < 0)
        return false;
    TwipRect bounds = view->Bounds();
    bounds.width = widthTwips;
    bounds.height = heightTwips;
    view->Move(bounds);
    return true;
}

void ScriptedRenderer::QueueModalAction(const std::string& form,
                                        std::function<void(ScriptedView&)> action) {
    if (action)
        m_modalActions[form].push_back(std::move(action));
}

bool ScriptedRenderer::HasQueuedActions(const std::string& form) const {
    auto it = m_modalActions.find(form);
    return it != m_modalActions.end() && !it->second.empty();
}

void ScriptedRenderer::ClearQueuedActions() {
    m_modalActions.clear();
    m_msgBoxAnswers.clear();
}

std::optional<std::function<void(ScriptedView&)>>
ScriptedRenderer::TakeModalAction(const std::string& form) {
    auto it = m_modalActions.find(form);
    if (it == m_modalActions.end() || it->second.empty())
        return std::nullopt;
    std::function<void(ScriptedView&)> action = std::move(it->second.front());
    it->second.pop_front();
    if (it->second.empty())
        m_modalActions.erase(it);
    return action;
}

TwipRect ScriptedRenderer::InitialBounds(const FormDef& def) {
    TwipRect bounds{0, 0, def.clientWidth + ScriptedView::kFrameWidth,
                    def.clientHeight + ScriptedView::kFrameHeight};
    switch (def.startUp) {
    case StartUpPosition::CenterScreen:
    case StartUpPosition::CenterOwner: // placed on the owner when first shown with one
        bounds.left = m_screen.left + (m_screen.width - bounds.width) / 2;
        bounds.top = m_screen.top + (m_screen.height - bounds.height) / 2;
        break;
    case StartUpPosition::WindowsDefault: {
        const double step = kCascadeStep * (m_cascade++ % kCascadeSteps);
        bounds.left = m_screen.left + kCascadeLeft + step;
        bounds.top = m_screen.top + kCascadeTop + step;
        break;
    }
    case StartUpPosition::Manual:
        bounds.left = m_screen.left;
        bounds.top = m_screen.top;
        break;
    }
    return bounds;
}

std::unique_ptr<IFormView> ScriptedRenderer::CreateView(const FormDef& def, IFormEvents& events) {
    auto view = std::make_unique<ScriptedView>(*this, m_loop, def, events, m_nextHandle,
                                               InitialBounds(def));
    m_nextHandle += 0x10;
    m_views.push_back(view.get());
    return view;
}

MsgBoxResult ScriptedRenderer::MsgBox(const std::string& text, MsgBoxButtons buttons,
                                      MsgBoxIcon icon, const std::string& title) {
    MsgBoxResult answer = FirstButton(buttons);
    if (!m_msgBoxAnswers.empty()) {
        if (Offers(buttons, m_msgBoxAnswers.front()))
            answer = m_msgBoxAnswers.front();
        m_msgBoxAnswers.pop_front();
    }
    if (m_observer)
        m_observer->MessageBoxShown(text, buttons, icon, title.empty() ? kApplicationTitle : title,
                                    answer);
    return answer;
}

} // namespace KDAutoUpdate
