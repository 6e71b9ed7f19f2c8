#include "ShellUiStatements.h"

#include "ShellValues.h"
#include "platform/EventLoop.h"

namespace KDAutoUpdate {

void ShellUiStatements::Ui(const std::vector<std::string>& tokens, const std::string& line) {
    if (!m_ui) {
        PrintSyntaxError(m_out, "ui needs a user interface");
        return;
    }
    if (tokens.size() < 3) {
        PrintSyntaxError(m_out, "ui <form>[.<control>] click|check|uncheck|close ...");
        return;
    }
    const std::string& target = tokens[1];
    const std::string& action = tokens[2];
    const auto dot = target.find('.');
    if (dot == std::string::npos) {
        const std::string& form = target;
        if (SameName(action, "close") && tokens.size() == 3) {
            if (!m_ui->Close(form))
                m_out << "ui: form " << form << " is not loaded\n";
            return;
        }
        if (SameName(action, "click") && tokens.size() >= 4) {
            // A click on the page of the messages window: #id or [attr=value]...
            PageTarget element;
            if (tokens[3].size() > 1 && tokens[3][0] == '#') {
                element.id = tokens[3].substr(1);
            } else {
                for (size_t i = 3; i < tokens.size(); ++i) {
                    const std::string& t = tokens[i];
                    const auto eq = t.find('=');
                    if (t.size() < 4 || t.front() != '[' || t.back() != ']' ||
                        eq == std::string::npos) {
                        PrintSyntaxError(m_out, "page element must be #id or [attr=value]: " + t);
                        return;
                    }
                    element.attributes.emplace_back(t.substr(1, eq - 1),
                                                    t.substr(eq + 1, t.size() - eq - 2));
                }
            }
            if (!m_ui->ClickPage(form, element)) {
                // The element as written; a token that lost its quotes is not found in the line.
                const size_t at = line.find(tokens[3]);
                m_out << "ui: no such element on the page: "
                      << (at == std::string::npos ? tokens[3] : line.substr(at)) << '\n';
            }
            return;
        }
        PrintSyntaxError(m_out,
                         "ui <form> close | ui <form> click #id | ui <form> click [attr=value]...");
        return;
    }
    const std::string form = target.substr(0, dot);
    std::string control = target.substr(dot + 1);
    int index = -1;
    const auto paren = control.find('(');
    if (paren != std::string::npos && control.back() == ')') {
        const auto v = ParseShellLong(control.substr(paren + 1, control.size() - paren - 2));
        if (!v) {
            PrintSyntaxError(m_out, "bad control index in " + control);
            return;
        }
        index = static_cast<int>(*v);
        control = control.substr(0, paren);
    }
    bool done = false;
    if (SameName(action, "click") && tokens.size() == 3)
        done = m_ui->Click(form, control, index);
    else if (SameName(action, "check") && tokens.size() == 3)
        done = m_ui->SetChecked(form, control, true, index);
    else if (SameName(action, "uncheck") && tokens.size() == 3)
        done = m_ui->SetChecked(form, control, false, index);
    else {
        PrintSyntaxError(m_out, "ui <form>.<control> click|check|uncheck");
        return;
    }
    if (!done)
        m_out << "ui: " << target << " is not there\n";
}

void ShellUiStatements::Answer(const std::vector<std::string>& tokens) {
    if (!m_ui) {
        PrintSyntaxError(m_out, "answer needs a user interface");
        return;
    }
    if (tokens.size() < 3) {
        PrintSyntaxError(m_out, "answer <form> <action>... | answer MsgBox Yes|No|OK|Cancel");
        return;
    }
    const std::string& form = tokens[1];
    if (SameName(form, "MsgBox")) {
        for (size_t i = 2; i < tokens.size(); ++i) {
            const std::string& a = tokens[i];
            if (SameName(a, "Yes"))
                m_ui->QueueMsgBoxAnswer(MsgBoxResult::Yes);
            else if (SameName(a, "No"))
                m_ui->QueueMsgBoxAnswer(MsgBoxResult::No);
            else if (SameName(a, "OK"))
                m_ui->QueueMsgBoxAnswer(MsgBoxResult::OK);
            else if (SameName(a, "Cancel"))
                m_ui->QueueMsgBoxAnswer(MsgBoxResult::Cancel);
            else {
                PrintSyntaxError(m_out, "MsgBox answers are Yes, No, OK, Cancel: " + a);
                return;
            }
        }
        return;
    }
    // Actions: <control> or click:<control>[(i)], check:<control>, uncheck:<control>, close,
    // enter, escape.
    std::vector<std::function<void()>> actions;
    UiDriver* ui = m_ui;
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string verb = "click";
        std::string control = tokens[i];
        const auto colon = control.find(':');
        if (colon != std::string::npos) {
            verb = control.substr(0, colon);
            control = control.substr(colon + 1);
        }
        int index = -1;
        const auto paren = control.find('(');
        if (paren != std::string::npos && control.back() == ')') {
            const auto v = ParseShellLong(control.substr(paren + 1, control.size() - paren - 2));
            if (!v) {
                PrintSyntaxError(m_out, "bad control index in " + tokens[i]);
                return;
            }
            index = static_cast<int>(*v);
            control = control.substr(0, paren);
        }
        if (SameName(verb, "pause")) {
            const auto ms = ParseShellLong(control);
            if (!ms || *ms < 0) {
                PrintSyntaxError(m_out, "pause:MS takes milliseconds");
                return;
            }
            IEventLoop* loop = m_loop;
            actions.emplace_back([loop, ms] {
                if (loop)
                    loop->RunFor(*ms);
            });
            continue;
        }
        if (SameName(verb, "grab")) {
            auto grab = m_grab;
            const std::string file = tokens[i].substr(colon + 1);
            actions.emplace_back([grab, form, file] {
                if (grab)
                    grab(form, file);
            });
            continue;
        }
        if (colon == std::string::npos && SameName(control, "close"))
            actions.emplace_back([ui, form] { ui->Close(form); });
        else if (colon == std::string::npos && SameName(control, "enter"))
            actions.emplace_back([ui, form] { ui->PressEnter(form); });
        else if (colon == std::string::npos && SameName(control, "escape"))
            actions.emplace_back([ui, form] { ui->PressEscape(form); });
        else if (SameName(verb, "click"))
            actions.emplace_back([ui, form, control, index] { ui->Click(form, control, index); });
        else if (SameName(verb, "check") || SameName(verb, "uncheck")) {
            const bool on = SameName(verb, "check");
            actions.emplace_back(
                [ui, form, control, index, on] { ui->SetChecked(form, control, on, index); });
        } else {
            PrintSyntaxError(m_out, "unknown answer action " + tokens[i]);
            return;
        }
    }
    for (auto& a : actions)
        m_ui->QueueModalAction(form, std::move(a));
}

} // namespace KDAutoUpdate
