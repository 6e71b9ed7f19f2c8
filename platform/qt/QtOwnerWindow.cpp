#include "platform/qt/QtOwnerWindow.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

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

} // namespace KDAutoUpdate::QtOwnerWindow
