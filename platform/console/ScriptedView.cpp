#include "platform/console/ScriptedView.h"

#include "platform/EventLoop.h"
#include "platform/console/RecordingAnimationPlayer.h"
#include "platform/console/ScriptedRenderer.h"

namespace KDAutoUpdate {

ScriptedView::ScriptedView(ScriptedRenderer& renderer, IEventLoop& loop, const FormDef& def,
                           IFormEvents& events, WindowHandle handle, const TwipRect& bounds)
    : m_renderer(&renderer), m_loop(loop), m_def(def), m_events(events), m_handle(handle),
      m_caption(def.caption), m_bounds(bounds) {
    // The states point into m_def, which lives as long as the view and never changes.
    for (const ControlDef& c : m_def.controls) {
        ControlState state;
        state.def = &c;
        state.text = c.text;
        state.value = c.value;
        state.rect = {static_cast<double>(c.left), static_cast<double>(c.top),
                      static_cast<double>(c.width), static_cast<double>(c.height)};
        m_controls.emplace(Key{c.name, c.index}, std::move(state));
    }
}

ScriptedView::~ScriptedView() {
    Destroy();
    *m_alive = false;
}

ScriptedView::ControlState* ScriptedView::State(const std::string& control, int index) {
    auto it = m_controls.find(Key{control, index});
    return it == m_controls.end() ? nullptr : &it->second;
}

const ScriptedView::ControlState* ScriptedView::State(const std::string& control, int index) const {
    auto it = m_controls.find(Key{control, index});
    return it == m_controls.end() ? nullptr : &it->second;
}

ScriptedView::ControlState* ScriptedView::StateByName(const std::string& control) {
    if (ControlState* state = State(control, -1))
        return state;
    auto it = m_controls.lower_bound(Key{control, -1});
    return it != m_controls.end() && it->first.first == control ? &it->second : nullptr;
}

const ScriptedView::ControlState* ScriptedView::StateByName(const std::string& control) const {
    return const_cast<ScriptedView*>(this)->StateByName(control);
}

PicturePtr ScriptedView::Picture(const std::string& control) const {
    const ControlState* state = StateByName(control);
    return state ? state->picture : nullptr;
}

IAnimationPlayer* ScriptedView::Animation() const {
    return m_animationLog && !m_animationLog->released ? m_animation : nullptr;
}

TwipRect ScriptedView::ControlRect(const std::string& control, int index) const {
    const ControlState* state = State(control, index);
    return state ? state->rect : TwipRect{};
}

void ScriptedView::SetText(const std::string& control, int index, const std::string& text) {
    if (ControlState* state = State(control, index))
        state->text = text;
}

std::string ScriptedView::Text(const std::string& control, int index) const {
    const ControlState* state = State(control, index);
    return state ? state->text : std::string();
}

void ScriptedView::SetValue(const std::string& control, int index, double value) {
    ControlState* state = State(control, index);
    if (!state)
        return;
    state->value = value;
    if (state->def->kind == ControlKind::OptionButton && value != 0)
        ClearOtherOptions(*state);
}

double ScriptedView::Value(const std::string& control, int index) const {
    const ControlState* state = State(control, index);
    return state ? state->value : 0.0;
}

// Option buttons exclude each other within their container, as in the window toolkits.
void ScriptedView::ClearOtherOptions(const ControlState& selected) {
    for (auto& [key, state] : m_controls)
        if (&state != &selected && state.def->kind == ControlKind::OptionButton &&
            state.def->parent == selected.def->parent)
            state.value = 0;
}

void ScriptedView::SetPicture(const std::string& control, const PicturePtr& picture) {
    if (ControlState* state = StateByName(control))
        state->picture = picture;
}

bool ScriptedView::Show(WindowHandle owner, bool modal) {
    if (m_destroyed)
        return false;
    m_owner = owner;
    const bool first = m_showCount == 0;
    ++m_showCount;
    if (first && m_def.startUp == StartUpPosition::CenterOwner && m_renderer) {
        if (const ScriptedView* ownerView = m_renderer->FindByHandle(owner)) {
            const TwipRect o = ownerView->Bounds();
            m_bounds.left = o.left + (o.width - m_bounds.width) / 2;
            m_bounds.top = o.top + (o.height - m_bounds.height) / 2;
        }
    }
    const bool again = m_visible && m_modal == modal;
    m_visible = true;
    m_modal = modal;
    auto alive = m_alive;
    // A window lays itself out when it first appears.
    if (first) {
        NotifyResize();
        if (!*alive || !m_visible)
            return false;
    }
    if (!again && m_renderer && m_renderer->m_observer)
        m_renderer->m_observer->FormShown(*this, modal);
    return *alive && !m_destroyed;
}

void ScriptedView::ShowModeless(WindowHandle owner) {
    if (m_inModalWait)
        return; // a window that waits modally stays modal
    Show(owner, false);
}

void ScriptedView::ShowModal(WindowHandle owner) {
    if (m_destroyed || m_inModalWait)
        return;
    auto alive = m_alive;
    if (!Show(owner, true) || !m_visible)
        return;
    const long timeoutMs = m_renderer ? m_renderer->m_modalTimeoutMs : 0;
    const std::uint64_t session = ++m_modalSession;
    m_inModalWait = true;
    PostNextModalAction(session);
    // Nothing of this object is touched once it was freed during the wait.
    auto ended = [&] { return !*alive || ModalEnded(); };
    if (!m_loop.RunUntil(ended, timeoutMs) && !ended()) {
        if (m_renderer && m_renderer->m_observer)
            m_renderer->m_observer->ModalTimedOut(m_def.name);
        if (!ended())
            m_events.OnCloseRequested(UnloadMode::ControlMenu);
        // A form may refuse the close box and hide later; it gets one more period.
        if (!ended() && !m_loop.RunUntil(ended, timeoutMs) && !ended())
            Hide();
    }
    if (*alive) {
        m_inModalWait = false;
        m_modal = false;
    }
}

void ScriptedView::PostNextModalAction(std::uint64_t session) {
    if (!m_renderer || !m_renderer->HasQueuedActions(m_def.name))
        return;
    m_loop.Post([this, alive = m_alive, session] {
        if (!*alive || ModalEnded() || session != m_modalSession || !m_renderer)
            return;
        auto action = m_renderer->TakeModalAction(m_def.name);
        if (!action)
            return;
        (*action)(*this);
        if (*alive && !ModalEnded() && session == m_modalSession)
            PostNextModalAction(session);
    });
}

void ScriptedView::Hide() {
    if (m_destroyed || !m_visible)
        return;
    m_visible = false;
    if (m_renderer && m_renderer->m_observer)
        m_renderer->m_observer->FormHidden(*this);
}

void ScriptedView::Move(const TwipRect& rect) {
    if (m_destroyed || rect.width < 0 || rect.height < 0)
        return;
    const bool resized = rect.width != m_bounds.width || rect.height != m_bounds.height;
    m_bounds = rect;
    if (resized)
        NotifyResize();
}

void ScriptedView::NotifyResize() {
    // A form that sizes itself in its resize handler gets no nested resize event.
    if (m_inResize || m_destroyed)
        return;
    auto alive = m_alive;
    m_inResize = true;
    m_events.OnResize();
    if (*alive)
        m_inResize = false;
}

TwipRect ScriptedView::ClientSize() const {
    const double width = m_bounds.width - kFrameWidth;
    const double height = m_bounds.height - kFrameHeight;
    return {0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
}

void ScriptedView::MoveControl(const std::string& control, const TwipRect& rect) {
    ControlState* state = StateByName(control);
    if (m_destroyed || !state || rect.width < 0 || rect.height < 0)
        return;
    const bool resized = rect.width != state->rect.width || rect.height != state->rect.height;
    state->rect = rect;
    const ControlKind kind = state->def->kind;
    if (resized && (kind == ControlKind::PictureBox || kind == ControlKind::ButtonStrip))
        m_events.OnControlResize(control);
}

TwipRect ScriptedView::ControlClientSize(const std::string& control) const {
    const ControlState* state = StateByName(control);
    return state ? TwipRect{0, 0, state->rect.width, state->rect.height} : TwipRect{};
}

WindowHandle ScriptedView::SetOwner(WindowHandle owner) {
    const WindowHandle previous = m_owner;
    m_owner = owner;
    return previous;
}

std::unique_ptr<IBrowserControl> ScriptedView::CreateBrowser(const std::string& container) {
    if (m_destroyed || !m_renderer || !m_renderer->m_browsers)
        return nullptr;
    std::unique_ptr<IBrowserControl> browser = m_renderer->m_browsers();
    m_browser = browser.get();
    m_browserContainer = container;
    return browser;
}

std::unique_ptr<IAnimationPlayer> ScriptedView::CreateAnimation(const std::string&) {
    if (m_destroyed)
        return nullptr;
    m_animationLog = std::make_shared<AnimationRecording>();
    auto player = std::make_unique<RecordingAnimationPlayer>(m_animationLog);
    m_animation = player.get();
    return player;
}

void ScriptedView::Destroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_visible = false;
    m_browser = nullptr;
    // Once unregistered the renderer forgets this view, so the view forgets the renderer.
    ScriptedRenderer* renderer = std::exchange(m_renderer, nullptr);
    if (!renderer)
        return;
    renderer->Unregister(this);
    if (renderer->m_observer)
        renderer->m_observer->FormUnloaded(m_def.name);
}

} // namespace KDAutoUpdate
