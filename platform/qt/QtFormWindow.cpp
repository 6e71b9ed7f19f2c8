#include "platform/qt/QtFormWindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <QCloseEvent>
#include <QKeyEvent>

namespace KDAutoUpdate {

QtFormWindow::QtFormWindow(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
    // The window is never closed, only hidden: closing it must never end the application.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void QtFormWindow::closeEvent(QCloseEvent* event) {
    // The form decides; it hides or unloads the window itself. The listener may destroy the
    // view, but this widget is only deleted later, so the event can still be finished.
    event->ignore();
    if (m_listener)
        m_listener->WindowCloseRequested();
}

void QtFormWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_listener)
        m_listener->WindowResized();
}

void QtFormWindow::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool plain = modifiers == Qt::NoModifier ||
                       (modifiers == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && m_listener) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_listener->WindowEnterPressed()) {
                event->accept();
                return;
            }
            break;
        case Qt::Key_Escape:
            // Esc presses the cancel button, if there is one, and never closes the window.
            m_listener->WindowEscapePressed();
            event->accept();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void QtFormWindow::PlaceOnScreen(StartUpPosition position) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    switch (position) {
    case StartUpPosition::CenterScreen:
    case StartUpPosition::CenterOwner: // moved onto the owner when first shown with one
        move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
        break;
    case StartUpPosition::Manual:
        move(area.topLeft());
        break;
    case StartUpPosition::WindowsDefault:
        break; // never moved: the window system places it
    }
}

} // namespace KDAutoUpdate
