#pragma once
// The shell's statements that act as the user: `ui` on a shown window, `answer` queued for the
// next modal showing.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace KDAutoUpdate {

class IEventLoop;

class ShellUiStatements {
public:
    using Grabber = std::function<bool(const std::string& form, const std::string& file)>;

    ShellUiStatements(std::ostream& out, UiDriver* ui, IEventLoop* loop, const Grabber& grab)
        : m_out(out), m_ui(ui), m_loop(loop), m_grab(grab) {}

    void Ui(const std::vector<std::string>& tokens, const std::string& line);
    void Answer(const std::vector<std::string>& tokens);

private:
    std::ostream& m_out;
    UiDriver* m_ui;
    IEventLoop* m_loop;
    const Grabber& m_grab;
};

} // namespace KDAutoUpdate
