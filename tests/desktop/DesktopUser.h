#pragma once
// The person in front of the screen: presses keys, clicks real widgets and answers message boxes;
// one nobody expected is recorded and dismissed with Esc, so a test fails instead of waiting.

#include <QObject>
#include <QWidget>

#include <deque>
#include <string>
#include <vector>

#include "platform/EventLoop.h"

class QMessageBox;

namespace KDAutoUpdate {

class DesktopUser final : public QObject {
public:
    struct SeenBox {
        std::string title;
        std::vector<std::string> buttons;
    };

    explicit DesktopUser(IEventLoop& loop);
    ~DesktopUser() override;
    DesktopUser(const DesktopUser&) = delete;
    DesktopUser& operator=(const DesktopUser&) = delete;

    // The next message box is answered with the button of that label ("&Ja", "&Nein", "OK").
    void AnswerNextBox(const std::string& buttonLabel) { m_answers.push_back(buttonLabel); }
    // Answers still waiting for their message box.
    int Pending() const { return static_cast<int>(m_answers.size()); }

    const std::vector<SeenBox>& Boxes() const { return m_boxes; }

    // Presses a key where the keyboard sends it: to the window's focus widget, or to the window.
    static void Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
    static void Click(QWidget* widget);
    // Makes the window the active one (access keys work only there); false if it never is.
    bool Activate(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnMessageBox(QMessageBox* box);

    IEventLoop& m_loop;
    std::deque<std::string> m_answers;
    std::vector<SeenBox> m_boxes;
};

} // namespace KDAutoUpdate
