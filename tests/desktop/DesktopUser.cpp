#include "tests/desktop/DesktopUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace KDAutoUpdate {

namespace {
constexpr long kActivationMs = 10000;
} // namespace

DesktopUser::DesktopUser(QtFormRenderer& renderer, IEventLoop& loop)
    : m_renderer(renderer), m_loop(loop) {
    qApp->installEventFilter(this);
}

DesktopUser::~DesktopUser() {
    qApp->removeEventFilter(this);
}

void DesktopUser::AnswerNextBox(const std::string& buttonLabel) {
    m_answers.push_back(buttonLabel);
}

int DesktopUser::Pending() const {
    return static_cast<int>(m_answers.size());
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
    return m_loop.RunUntil([&guarded] { return guarded && guarded->isActiveWindow(); },
                           kActivationMs);
}

bool DesktopUser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow()) {
            const QString name = widget->objectName();
            m_shown.push_back(name.isEmpty() ? widget->metaObject()->className()
                                             : name.toStdString());
            if (auto* box = qobject_cast<QMessageBox*>(widget))
                OnMessageBox(box);
        }
    }
    return QObject::eventFilter(watched, event);
}

void DesktopUser::OnMessageBox(QMessageBox* box) {
    SeenBox seen;
    seen.title = box->windowTitle().toStdString();
    seen.text = box->text().toStdString();
    for (const QAbstractButton* button : box->buttons())
        seen.buttons.push_back(button->text().toStdString());
    std::string label;
    if (!m_answers.empty()) {
        label = m_answers.front();
        m_answers.pop_front();
        seen.expected = true;
    }
    m_boxes.push_back(seen);
    // Answered once the box waits for the user.
    const QPointer<QMessageBox> guarded(box);
    QTimer::singleShot(0, box, [guarded, label] {
        if (!guarded)
            return;
        if (label.empty()) {
            QTest::keyClick(guarded.data(), Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : guarded->buttons())
            if (button->text().toStdString() == label) {
                Click(button);
                return;
            }
        QTest::keyClick(guarded.data(), Qt::Key_Escape);
    });
}

} // namespace KDAutoUpdate
