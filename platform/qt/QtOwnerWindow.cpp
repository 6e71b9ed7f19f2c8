#include "platform/qt/QtOwnerWindow.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#ifdef KDAU_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace KDAutoUpdate::QtOwnerWindow {

QWindow* Find(WindowHandle owner, const QWidget* self, std::unique_ptr<QWindow>& foreign) {
    if (owner == 0)
        return nullptr;
    const auto id = static_cast<WId>(owner);
    if (QWidget* widget = QWidget::find(id)) {
        QWidget* top = widget->window();
        if (!top || top == self)
            return nullptr;
        top->winId();
        return top->windowHandle();
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    if (!foreign || foreign->winId() != id)
        foreign.reset(QWindow::fromWinId(id));
    return foreign.get();
}

void MarkTransientFor(const QWindow& window, WindowHandle owner) {
#ifdef KDAU_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto parent = static_cast<xcb_window_t>(owner);
    if (parent)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &parent);
    else
        xcb_delete_property(connection, id, XCB_ATOM_WM_TRANSIENT_FOR);
    xcb_flush(connection);
#else
    (void)window;
    (void)owner;
#endif
}

} // namespace KDAutoUpdate::QtOwnerWindow
