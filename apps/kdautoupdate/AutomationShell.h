#pragma once
// The automation console: acts as a host of one agent, one statement a line. Statements on
// the agent's members go by name through the automation dispatcher.

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "ShellFormPrinter.h"
#include "ShellMembers.h"
#include "ShellEvents.h"
#include "ShellUiStatements.h"
#include "UiDriver.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

class AuAgent;

class AutomationShell {
public:
    // `ui` may be null; `ui` and `answer` statements then report that they are not available.
    AutomationShell(Platform& platform, std::ostream& out, UiDriver* ui);
    ~AutomationShell();
    AutomationShell(const AutomationShell&) = delete;
    AutomationShell& operator=(const AutomationShell&) = delete;

    // Runs statements until `quit` or the end of input, then releases the agent.
    void Run(std::istream& in, bool interactive = false);
    // Runs one statement; false after `quit`.
    bool Execute(const std::string& line);
    // Releases the agent (its destruction saves the store).
    void Release();
    // Lets `grab <form> <file>` statements and `grab:<file>` answers save a window's picture.
    void SetGrabber(std::function<bool(const std::string& form, const std::string& file)> grab) {
        m_grab = std::move(grab);
    }
    AuAgent* Agent() const { return m_agent.get(); }

private:
    void Create();
    void Wait(const std::string& event, long ms);
    void PrintMessages();
    void WaitForPage(long ms);

    Platform& m_platform;
    std::ostream& m_out;
    ShellUiStatements::Grabber m_grab;
    ShellMembers m_members;
    ShellFormPrinter m_printer;
    ShellUiStatements m_uiStatements;
    ShellEvents m_events;
    std::unique_ptr<AuAgent> m_agent;
};

} // namespace KDAutoUpdate
