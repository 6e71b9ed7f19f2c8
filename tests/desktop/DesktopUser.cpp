#include "tests/desktop/DesktopUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace KDAutoUpdate {

DesktopUser::DesktopUser(IEventLoop& loop) : m_loop(loop) {
    qApp->installEventFilter(this);
}

DesktopUser::~DesktopUser() {
    qApp->removeEventFilter(this);
}

void DesktopUser::Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != window)
        target = window;
    QTest::keyClick(target, key, modifiers);
}

void DesktopUser::Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

bool DesktopUser::Activate(QWidget* window) {
    QPointer<QWidget> guarded(window);
    window->activateWindow();
    return m_loop.RunUntil([&guarded] { return guarded && guarded->isActiveWindow(); }, 10000);
}

bool DesktopUser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show)
        if (auto* box = qobject_cast<QMessageBox*>(watched))
            OnMessageBox(box);
    return QObject::eventFilter(watched, event);
}

void DesktopUser::OnMessageBox(QMessageBox* box) {
    SeenBox& seen = m_boxes.emplace_back(SeenBox{box->windowTitle().toStdString(), {}});
    for (const QAbstractButton* button : box->buttons())
        seen.buttons.push_back(button->text().toStdString());
    std::string label;
    if (!m_answers.empty()) {
        label = m_answers.front();
        m_answers.pop_front();
    }
    // Answered once the box waits for the user: the button of that label, else Esc.
    const QPointer<QMessageBox> guarded(box);
    QTimer::singleShot(0, box, [guarded, label] {
        if (!guarded)
            return;
        for (QAbstractButton* button : guarded->buttons())
            if (!label.empty() && button->text().toStdString() == label) {
                Click(button);
                return;
            }
        QTest::keyClick(guarded.data(), Qt::Key_Escape);
    });
}

} // namespace KDAutoUpdate
