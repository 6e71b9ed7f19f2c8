#include "platform/qt/QtFormView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QEventLoop>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <set>
#include <vector>

#include "platform/qt/QtDialogFont.h"
#include "platform/qt/QtFormRenderer.h"
#include "platform/qt/QtMovieAnimationPlayer.h"
#include "platform/qt/QtOwnerWindow.h"

namespace KDAutoUpdate {

namespace {
bool IsContainer(ControlKind kind) {
    return kind == ControlKind::PictureBox || kind == ControlKind::ButtonStrip;
}
} // namespace

QtFormView::QtFormView(QtFormRenderer& renderer, const FormDef& def, IFormEvents& events)
    : m_renderer(&renderer), m_def(def), m_events(&events), m_caption(def.caption) {
    // The entries point into m_def, which lives as long as the view and never changes.
    for (const ControlDef& c : m_def.controls) {
        ControlEntry entry;
        entry.def = &c;
        entry.text = c.text;
        entry.value = c.value;
        entry.rect = {static_cast<double>(c.left), static_cast<double>(c.top),
                      static_cast<double>(c.width), static_cast<double>(c.height)};
        m_controls.emplace(Key{c.name, c.index}, std::move(entry));
    }
    try {
        Build();
    } catch (...) {
    }
}

QtFormView::~QtFormView() {
    Destroy();
    *m_alive = false;
}

void QtFormView::Build() {
    const bool sizable = m_def.border == BorderStyle::Sizable;
    Qt::WindowFlags flags = (m_def.showInTaskbar ? Qt::Window : Qt::Dialog) |
                            Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_def.minButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (m_def.maxButton && sizable)
        flags |= Qt::WindowMaximizeButtonHint;

    auto* window = new QtFormWindow(flags);
    m_window = window;
    window->setObjectName(QString::fromStdString(m_def.name));
    window->setWindowTitle(QString::fromStdString(m_caption));
    window->setFont(QtDialogFont(m_def.fontName, m_def.fontSize));
    m_dpi = DpiOf(window);
    const QSize client(TwipsToPixels(m_def.clientWidth, m_dpi.x),
                       TwipsToPixels(m_def.clientHeight, m_dpi.y));
    if (sizable)
        window->resize(client);
    else
        window->setFixedSize(client);

    // Containers first: a control waits until the strip or picture box it sits in exists.
    std::vector<ControlEntry*> pending;
    std::set<const ControlEntry*> seen;
    for (const ControlDef& c : m_def.controls) {
        ControlEntry* entry = Entry(c.name, c.index);
        if (entry && seen.insert(entry).second)
            pending.push_back(entry);
    }
    std::vector<QWidget*> tabOrder;
    bool progress = true;
    while (!pending.empty()) {
        const bool force = !progress; // a container missing or in a cycle: the window holds it
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            ControlEntry& entry = **it;
            QWidget* container = window;
            if (!entry.def->parent.empty()) {
                const ControlEntry* parent = EntryByName(entry.def->parent);
                const bool parentPending =
                    parent && parent != &entry &&
                    std::find(pending.begin(), pending.end(), parent) != pending.end();
                if (parentPending && !force) {
                    ++it;
                    continue;
                }
                if (parent && parent->widget)
                    container = parent->widget;
            }
            const std::string name = entry.def->name;
            const int index = entry.def->index;
            QButtonGroup* group = entry.def->kind == ControlKind::OptionButton
                                      ? OptionGroup(entry.def->parent)
                                      : nullptr;
            if (QWidget* widget = entry.Create(
                    container, group, [this, name, index] { DeliverClick(name, index); }, Dpi()))
                tabOrder.push_back(widget);
            it = pending.erase(it);
            progress = true;
        }
    }
    // The tab order is the definition's order, containers or not.
    std::vector<QWidget*> focusable;
    for (const ControlDef& c : m_def.controls)
        if (const ControlEntry* entry = Entry(c.name, c.index))
            if (entry->widget && (entry->widget->focusPolicy() & Qt::TabFocus))
                focusable.push_back(entry->widget);
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1], focusable[i]);

    window->SetListener(this);
    window->PlaceOnScreen(m_def.startUp);
}

QButtonGroup* QtFormView::OptionGroup(const std::string& container) {
    QPointer<QButtonGroup>& group = m_optionGroups[container];
    if (!group && m_window) {
        group = new QButtonGroup(m_window);
        group->setExclusive(true);
    }
    return group;
}

QtDpi QtFormView::Dpi() const {
    if (m_window && !m_destroyed)
        m_dpi = DpiOf(m_window);
    return m_dpi;
}

QtFormView::ControlEntry* QtFormView::Entry(const std::string& control, int index) {
    auto it = m_controls.find(Key{control, index});
    return it == m_controls.end() ? nullptr : &it->second;
}

const QtFormView::ControlEntry* QtFormView::Entry(const std::string& control, int index) const {
    auto it = m_controls.find(Key{control, index});
    return it == m_controls.end() ? nullptr : &it->second;
}

QtFormView::ControlEntry* QtFormView::EntryByName(const std::string& control) {
    if (ControlEntry* entry = Entry(control, -1))
        return entry;
    auto it = m_controls.lower_bound(Key{control, -1});
    return it != m_controls.end() && it->first.first == control ? &it->second : nullptr;
}

const QtFormView::ControlEntry* QtFormView::EntryByName(const std::string& control) const {
    return const_cast<QtFormView*>(this)->EntryByName(control);
}

QWidget* QtFormView::Window() const {
    return m_destroyed ? nullptr : m_window.data();
}

QWidget* QtFormView::Control(const std::string& control, int index) const {
    const ControlEntry* entry = Entry(control, index);
    return entry && !m_destroyed ? entry->widget.data() : nullptr;
}

WindowHandle QtFormView::Handle() const {
    if (m_handle == 0 && m_window && !m_destroyed) {
        try {
            m_handle = static_cast<WindowHandle>(m_window->winId());
        } catch (...) {
        }
    }
    return m_handle;
}

void QtFormView::SetCaption(const std::string& text) {
    m_caption = text;
    if (m_window)
        m_window->setWindowTitle(QString::fromStdString(text));
}

void QtFormView::SetText(const std::string& control, int index, const std::string& text) {
    if (ControlEntry* entry = Entry(control, index)) {
        entry->text = text;
        entry->ApplyText();
    }
}

std::string QtFormView::Text(const std::string& control, int index) const {
    const ControlEntry* entry = Entry(control, index);
    return entry ? entry->text : std::string();
}

void QtFormView::SetValue(const std::string& control, int index, double value) {
    if (ControlEntry* entry = Entry(control, index)) {
        entry->value = value;
        entry->ApplyValue();
    }
}

double QtFormView::Value(const std::string& control, int index) const {
    const ControlEntry* entry = Entry(control, index);
    if (!entry)
        return 0.0;
    // The user changes check boxes and option buttons: their widgets know the state.
    return m_destroyed ? entry->value : entry->ShownValue();
}

void QtFormView::SetPicture(const std::string& control, const PicturePtr& picture) {
    if (ControlEntry* entry = EntryByName(control)) {
        entry->picture = picture;
        entry->ApplyPicture(Dpi());
    }
}

void QtFormView::SetWindowIcon(const PicturePtr& picture) {
    if (!m_window)
        return;
    const QPixmap pixmap = QtFormControl::PixmapOf(picture);
    m_window->setWindowIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
}

void QtFormView::ApplyOwner(WindowHandle owner) {
    m_owner = owner;
    if (!m_window || m_destroyed)
        return;
    QWindow* ownerWindow = QtOwnerWindow::Find(owner, m_window, m_foreignOwner);
    m_window->winId(); // the window handle exists from here on
    if (QWindow* handle = m_window->windowHandle()) {
        handle->setTransientParent(ownerWindow);
        if (m_foreignOwner)
            QtOwnerWindow::MarkTransientFor(
                *handle, ownerWindow == m_foreignOwner.get() ? owner : WindowHandle{0});
    }
}

WindowHandle QtFormView::SetOwner(WindowHandle owner) {
    const WindowHandle previous = m_owner;
    // Shown or not, the window takes the owner at once: a host's window owns the messages
    // window only while it is being shown, and the owner before is put back right after.
    try {
        ApplyOwner(owner);
    } catch (...) {
    }
    return previous;
}

bool QtFormView::Show(WindowHandle owner) {
    if (m_destroyed || !m_window)
        return false;
    ApplyOwner(owner);
    const bool first = m_showCount++ == 0;
    if (first && m_def.startUp == StartUpPosition::CenterOwner && m_window->windowHandle()) {
        if (const QWindow* ownerWindow = m_window->windowHandle()->transientParent()) {
            const QRect area = ownerWindow->frameGeometry();
            const QSize outer = m_window->frameGeometry().size();
            m_window->move(area.x() + (area.width() - outer.width()) / 2,
                           area.y() + (area.height() - outer.height()) / 2);
        }
    }
    // Showing lays the window out: its resize handler may hide or unload it.
    auto alive = m_alive;
    m_window->show();
    if (!*alive || m_destroyed || !m_window || !m_window->isVisible())
        return false;
    // Qt names an owner to X11 only for dialogs and drops any other name as it shows a window.
    if (QWindow* handle = m_window->windowHandle();
        handle && m_foreignOwner && handle->transientParent() == m_foreignOwner.get())
        QtOwnerWindow::MarkTransientFor(*handle, m_owner);
    m_window->raise();
    m_window->activateWindow();
    if (m_renderer && m_renderer->GetMonitor())
        m_renderer->GetMonitor()->FormShown(*this,
                                            m_window->windowModality() == Qt::ApplicationModal);
    return *alive && !m_destroyed;
}

void QtFormView::ShowModeless(WindowHandle owner) {
    if (m_modalLoop)
        return;
    try {
        Show(owner);
    } catch (...) {
    }
}

void QtFormView::ShowModal(WindowHandle owner) {
    if (m_destroyed || !m_window || m_modalLoop)
        return;
    auto alive = m_alive;
    try {
        // Qt takes a modality change only while the window is hidden.
        if (m_window->isVisible())
            m_window->hide();
        m_window->setWindowModality(Qt::ApplicationModal);
        if (Show(owner)) {
            QEventLoop loop;
            m_modalLoop = &loop;
            loop.exec(QEventLoop::DialogExec);
            if (!*alive)
                return; // freed while waiting
            m_modalLoop = nullptr;
        }
        if (*alive && m_window && !m_window->isVisible())
            m_window->setWindowModality(Qt::NonModal);
    } catch (...) {
        if (*alive)
            m_modalLoop = nullptr;
    }
}

void QtFormView::Hide() {
    if (m_destroyed || !m_window)
        return;
    const bool wasVisible = m_window->isVisible();
    m_window->hide();
    if (m_modalLoop)
        m_modalLoop->quit();
    if (wasVisible && m_renderer && m_renderer->GetMonitor())
        m_renderer->GetMonitor()->FormHidden(*this);
}

bool QtFormView::IsVisible() const {
    return !m_destroyed && m_window && m_window->isVisible();
}

TwipRect QtFormView::Bounds() const {
    if (m_destroyed || !m_window)
        return {};
    return PixelsToTwips(m_window->frameGeometry(), Dpi());
}

void QtFormView::Move(const TwipRect& rect) {
    if (m_destroyed || !m_window || rect.width < 0 || rect.height < 0)
        return;
    try {
        const QRect outer = TwipsToPixels(rect, Dpi());
        const QSize frame = m_window->frameGeometry().size() - m_window->size();
        const QSize client(std::max(outer.width() - frame.width(), 0),
                           std::max(outer.height() - frame.height(), 0));
        m_window->move(outer.topLeft());
        if (client != m_window->size()) {
            if (m_def.border == BorderStyle::Sizable)
                m_window->resize(client);
            else
                m_window->setFixedSize(client);
        }
    } catch (...) {
    }
}

TwipRect QtFormView::ClientSize() const {
    if (m_destroyed || !m_window)
        return {};
    return PixelsToTwips(QRect(QPoint(0, 0), m_window->size()), Dpi());
}

void QtFormView::MoveControl(const std::string& control, const TwipRect& rect) {
    ControlEntry* entry = EntryByName(control);
    if (m_destroyed || !entry || rect.width < 0 || rect.height < 0)
        return;
    const bool resized = rect.width != entry->rect.width || rect.height != entry->rect.height;
    entry->rect = rect;
    try {
        entry->Place(Dpi());
    } catch (...) {
    }
    if (resized && IsContainer(entry->def->kind) && m_events) {
        const std::string name = control; // the handler may free this view
        m_events->OnControlResize(name);
    }
}

TwipRect QtFormView::ControlClientSize(const std::string& control) const {
    const ControlEntry* entry = EntryByName(control);
    if (!entry)
        return {};
    if (entry->widget && !m_destroyed)
        return PixelsToTwips(QRect(QPoint(0, 0), entry->widget->contentsRect().size()), Dpi());
    return {0, 0, entry->rect.width, entry->rect.height};
}

std::unique_ptr<IBrowserControl> QtFormView::CreateBrowser(const std::string& container) {
    if (m_destroyed || !m_window || !m_renderer || !m_renderer->Browsers())
        return nullptr;
    QWidget* host = m_window;
    if (!container.empty()) {
        const ControlEntry* entry = EntryByName(container);
        host = entry ? entry->widget.data() : nullptr;
    }
    if (!host)
        return nullptr;
    try {
        return m_renderer->Browsers()(host);
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<IAnimationPlayer> QtFormView::CreateAnimation(const std::string& surface) {
    const ControlEntry* entry = EntryByName(surface);
    if (m_destroyed || !m_renderer || !entry || !entry->widget)
        return nullptr;
    try {
        return std::make_unique<QtMovieAnimationPlayer>(entry->widget, m_renderer->Resources());
    } catch (...) {
        return nullptr;
    }
}

void QtFormView::Destroy() {
    if (m_destroyed)
        return;
    // What the widgets knew stays readable: values are kept before the widgets go.
    for (auto& [key, entry] : m_controls) {
        entry.value = Value(key.first, key.second);
        QObject::disconnect(entry.clicked);
    }
    m_destroyed = true;
    m_events = nullptr;
    if (m_window) {
        m_window->SetListener(nullptr);
        m_window->hide();
        // Later: this may run inside an event of the window or of one of its controls.
        m_window->deleteLater();
    }
    if (m_modalLoop)
        m_modalLoop->quit();
    if (QtFormRenderer* renderer = std::exchange(m_renderer, nullptr)) {
        renderer->Unregister(this);
        if (renderer->GetMonitor())
            renderer->GetMonitor()->FormUnloaded(m_def.name);
    }
}

bool QtFormView::ClickButton(bool isDefault) {
    for (const ControlDef& c : m_def.controls) {
        if (!(isDefault ? c.isDefault : c.isCancel))
            continue;
        const ControlEntry* entry = Entry(c.name, c.index);
        auto* button = entry ? qobject_cast<QAbstractButton*>(entry->widget.data()) : nullptr;
        if (!button || !button->isEnabled() || !button->isVisibleTo(m_window))
            return false;
        button->click(); // may unload the form: nothing of this view is touched after it
        return true;
    }
    return false;
}

void QtFormView::DeliverClick(const std::string& control, int index) {
    IFormEvents* events = m_events;
    if (!events)
        return;
    const std::string name = control;
    events->OnClick(name, index);
}

void QtFormView::WindowCloseRequested() {
    // A window closed by the ending session is not the user's close box: forms that refuse
    // the close box must still let the session end.
    const bool sessionEnds = qApp && qApp->isSavingSession();
    if (IFormEvents* events = m_events)
        events->OnCloseRequested(sessionEnds ? UnloadMode::AppWindows : UnloadMode::ControlMenu);
}

void QtFormView::WindowResized() {
    // A form that sizes itself in its resize handler gets no nested resize event.
    if (!m_events || m_inResize)
        return;
    auto alive = m_alive;
    m_inResize = true;
    m_events->OnResize();
    if (*alive)
        m_inResize = false;
}

bool QtFormView::WindowEnterPressed() {
    return ClickButton(true);
}

void QtFormView::WindowEscapePressed() {
    ClickButton(false);
}

} // namespace KDAutoUpdate
