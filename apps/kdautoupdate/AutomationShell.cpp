#include "AutomationShell.h"

#include "ShellValues.h"
#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "deploy/AuMessage.h"
#include "messages_window/frmMessages.h"
#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"

namespace KDAutoUpdate {

AutomationShell::AutomationShell(Platform& platform, std::ostream& out, UiDriver* ui)
    : m_platform(platform), m_out(out), m_members(out), m_printer(out, ui, platform.loop),
      m_uiStatements(out, ui, platform.loop, m_grab), m_events(out) {
    Create();
}

AutomationShell::~AutomationShell() {
    Release();
}

void AutomationShell::Create() {
    if (!m_agent)
        m_agent = std::make_unique<AuAgent>(m_platform, &m_events);
}

void AutomationShell::Release() {
    m_members.ClearRecords();
    m_agent.reset();
    m_out.flush();
}

void AutomationShell::Run(std::istream& in, bool interactive) {
    std::string line;
    while (true) {
        if (interactive) {
            m_out << "> " << std::flush;
        }
        if (!std::getline(in, line))
            break;
        if (!Execute(line))
            break;
        m_out.flush();
    }
    Release();
}

bool AutomationShell::Execute(const std::string& rawLine) {
    const std::string line = TrimBlanks(rawLine);
    if (line.empty() || line[0] == '#')
        return true;
    const std::vector<std::string> tokens = SplitTokens(line);
    const std::string& head = tokens.front();

    if (SameName(head, "quit") && tokens.size() == 1)
        return false;
    if (SameName(head, "release") && tokens.size() == 1) {
        Release();
        m_out << "Agent released\n";
        return true;
    }
    if (SameName(head, "create") && tokens.size() == 1) {
        Create();
        m_out << "Agent created\n";
        return true;
    }
    if (!m_agent && !SameName(head, "sleep")) {
        PrintSyntaxError(m_out, "no agent; use create");
        return true;
    }
    if (SameName(head, "query")) {
        if (tokens.size() > 2) {
            PrintSyntaxError(m_out, "query takes one operation type");
            return true;
        }
        m_out << m_agent->BuildQueryString(tokens.size() == 2 ? tokens[1] : std::string()) << '\n';
        return true;
    }
    if (SameName(head, "wait") || SameName(head, "sleep")) {
        const bool isWait = SameName(head, "wait");
        const size_t msIndex = isWait ? 2 : 1;
        if ((isWait && (tokens.size() < 2 || tokens.size() > 3)) ||
            (!isWait && tokens.size() != 2)) {
            PrintSyntaxError(m_out, isWait ? "wait EventName [ms]" : "sleep ms");
            return true;
        }
        long ms = 30000;
        if (tokens.size() > msIndex) {
            const auto v = ParseShellLong(tokens[msIndex]);
            if (!v || *v < 0) {
                PrintSyntaxError(m_out, "bad milliseconds: " + tokens[msIndex]);
                return true;
            }
            ms = *v;
        }
        if (isWait)
            Wait(tokens[1], ms);
        else if (m_platform.loop)
            m_platform.loop->RunFor(ms);
        return true;
    }
    if (SameName(head, "on")) {
        // on NewMessages bSkipDialog=True
        m_events.On(tokens);
        return true;
    }
    if (SameName(head, "ui")) {
        m_uiStatements.Ui(tokens, line);
        return true;
    }
    if (SameName(head, "answer")) {
        m_uiStatements.Answer(tokens);
        return true;
    }
    if (SameName(head, "echo")) {
        m_out << TrimBlanks(line.substr(4)) << '\n';
        return true;
    }
    if (SameName(head, "grab") && tokens.size() == 3) {
        if (!m_grab)
            PrintSyntaxError(m_out, "grab needs real windows");
        else if (!m_grab(tokens[1], tokens[2]))
            m_out << "grab: " << tokens[1] << " could not be saved\n";
        return true;
    }
    if (SameName(head, "show") && tokens.size() == 2) {
        m_members.ShowRecord(tokens[1]);
        return true;
    }
    if (SameName(head, "messages") && tokens.size() == 1) {
        PrintMessages();
        return true;
    }
    if (SameName(head, "set")) {
        // set info = GetProductInfo
        if (tokens.size() == 4 && tokens[2] == "=") {
            m_members.CallMethod(m_agent.get(), tokens[3], {}, tokens[1]);
            return true;
        }
        PrintSyntaxError(m_out, "set NAME = " + ShellMembers::RecordMethods("|"));
        return true;
    }

    // name.Field, name.Field = value, name.Persist
    const auto dot = head.find('.');
    if (dot != std::string::npos && dot > 0) {
        m_members.RecordStatement(head.substr(0, dot), line.substr(dot + 1));
        return true;
    }

    if (const auto assignment = SplitAssignment(line)) {
        if (!m_members.WriteProperty(m_agent.get(), assignment->target, assignment->value))
            PrintSyntaxError(m_out, "unknown or read-only property: " + assignment->target);
        return true;
    }
    if (tokens.size() == 1 && m_members.ReadProperty(m_agent.get(), head))
        return true;
    if (m_members.CallMethod(m_agent.get(), head, tokens, std::string()))
        return true;
    PrintSyntaxError(m_out, line);
    return true;
}

void AutomationShell::Wait(const std::string& event, long ms) {
    const std::string name = m_events.EventName(event);
    if (name.empty() && SameName(event, "Page")) {
        WaitForPage(ms);
        return;
    }
    if (name.empty()) {
        PrintSyntaxError(m_out, "unknown event " + event);
        return;
    }
    auto arrived = [&] { return m_events.Arrived(name); };
    if (!arrived() && m_platform.loop)
        m_platform.loop->RunUntil(arrived, ms);
    if (arrived())
        m_events.Take(name);
    else
        m_out << "Timeout\n";
}

void AutomationShell::WaitForPage(long ms) {
    auto pageInFront = [] {
        frmMessages* window = FormInstances::ForThread().messages.get();
        if (!window || !window->IsLoaded() || !window->Browser())
            return false;
        return window->Browser()->VisibleBrowser() == window->PageBrowser();
    };
    if (!pageInFront() && m_platform.loop)
        m_platform.loop->RunUntil(pageInFront, ms);
    if (pageInFront())
        m_out << "Page shown: " << FormInstances::ForThread().messages->Messages().Count()
              << " messages\n";
    else
        m_out << "Timeout\n";
}

void AutomationShell::PrintMessages() {
    frmMessages* window = FormInstances::ForThread().messages.get();
    if (!window || !window->IsLoaded()) {
        m_out << "Messages: window not loaded\n";
        return;
    }
    const auto& messages = window->Messages();
    m_out << "Messages: " << messages.Count() << '\n';
    for (size_t i = 0; i < messages.Count(); ++i) {
        const AuMessage* m = messages.Item(i);
        if (!m)
            continue;
        m_out << "  " << m->ID() << ": " << m->Name() << " (type " << m->MessageType()
              << ", features " << m->Features().Count() << ")\n";
    }
}

} // namespace KDAutoUpdate
