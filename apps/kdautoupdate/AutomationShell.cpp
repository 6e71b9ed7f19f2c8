#include "AutomationShell.h"

#include <functional>

#include "ShellValues.h"
#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "deploy/AuMessage.h"
#include "messages_window/frmMessages.h"
#include "platform/BrowserControl.h"
#include "platform/EventLoop.h"
#include "store/AuProductInfo.h"

namespace KDAutoUpdate {

namespace {

enum class Kind { Text, Bool, Long, Date };

struct Property {
    const char* name;
    Kind kind;
    bool writable;
};

const Property kAgentProperties[] = {
    {"IsProcessing", Kind::Bool, false},  {"BaseURL", Kind::Text, true},
    {"ProductCode", Kind::Text, true},    {"MajorVer", Kind::Long, true},
    {"MinorVer", Kind::Long, true},       {"Revision", Kind::Long, true},
    {"CampaignID", Kind::Text, true},     {"LicKey", Kind::Text, true},
    {"ProductLCID", Kind::Long, true},    {"TestMode", Kind::Bool, true},
    {"UILanguageLCID", Kind::Long, true}, {"IsConnected", Kind::Bool, false},
    {"AutoConnect", Kind::Bool, true},    {"hwndOwner", Kind::Long, true},
    {"CompatMode", Kind::Long, true},
};

const Property kRecordFields[] = {
    {"ProductCode", Kind::Text, true},
    {"LastMessageStamp", Kind::Text, true},
    {"DoNotNotifyLastMessage", Kind::Bool, true},
    {"LastCheckedDate", Kind::Date, true},
    {"LastInitDate", Kind::Date, true},
    {"LastUpdateMessageID", Kind::Text, true},
    {"InstallLastUpdateOnStartUp", Kind::Bool, true},
    {"LastUpdateCmd", Kind::Text, true},
    {"LastUpdateName", Kind::Text, true},
    {"LastKillProcName", Kind::Text, true},
};

template <size_t N>
const Property* FindProperty(const Property (&table)[N], const std::string& name) {
    for (const auto& p : table)
        if (SameName(p.name, name))
            return &p;
    return nullptr;
}

// A statement's leading name and the rest after "= ", if it is an assignment.
struct Assignment {
    std::string target;
    std::string value;
};

std::optional<Assignment> SplitAssignment(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    std::string target = TrimBlanks(line.substr(0, eq));
    if (target.empty() || target.find(' ') != std::string::npos)
        return std::nullopt;
    std::string value = line.substr(eq + 1);
    if (!value.empty() && value[0] == ' ')
        value.erase(0, 1);
    return Assignment{target, value};
}

// Control texts may hold line breaks; the shell prints each control on one line.
std::string OneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' || text[i] == '\r')
            out += "\\n";
        else
            out += text[i];
    }
    return out;
}

std::string FieldText(const AuProductInfo& r, const std::string& field) {
    if (SameName(field, "ProductCode"))
        return r.ProductCode;
    if (SameName(field, "LastMessageStamp"))
        return r.LastMessageStamp;
    if (SameName(field, "DoNotNotifyLastMessage"))
        return ShellBool(r.DoNotNotifyLastMessage);
    if (SameName(field, "LastCheckedDate"))
        return FormatStoreDate(r.LastCheckedDate);
    if (SameName(field, "LastInitDate"))
        return FormatStoreDate(r.LastInitDate);
    if (SameName(field, "LastUpdateMessageID"))
        return r.LastUpdateMessageID;
    if (SameName(field, "InstallLastUpdateOnStartUp"))
        return ShellBool(r.InstallLastUpdateOnStartUp);
    if (SameName(field, "LastUpdateCmd"))
        return r.LastUpdateCmd;
    if (SameName(field, "LastUpdateName"))
        return r.LastUpdateName;
    return r.LastKillProcName;
}

// Answers an error text, or empty when the value was stored.
std::string SetField(AuProductInfo& r, const Property& p, const std::string& value) {
    if (p.kind == Kind::Bool) {
        const auto b = ParseShellBool(value);
        if (!b)
            return "Type mismatch";
        (SameName(p.name, "DoNotNotifyLastMessage") ? r.DoNotNotifyLastMessage
                                                    : r.InstallLastUpdateOnStartUp) = *b;
        return {};
    }
    if (p.kind == Kind::Date) {
        const auto d = TrimBlanks(value).empty() ? std::optional<AutomationDate>(AutomationDate{})
                                                 : ParseDate(TrimBlanks(value));
        if (!d)
            return "Type mismatch";
        (SameName(p.name, "LastCheckedDate") ? r.LastCheckedDate : r.LastInitDate) = *d;
        return {};
    }
    std::string* target = nullptr;
    if (SameName(p.name, "ProductCode"))
        target = &r.ProductCode;
    else if (SameName(p.name, "LastMessageStamp"))
        target = &r.LastMessageStamp;
    else if (SameName(p.name, "LastUpdateMessageID"))
        target = &r.LastUpdateMessageID;
    else if (SameName(p.name, "LastUpdateCmd"))
        target = &r.LastUpdateCmd;
    else if (SameName(p.name, "LastUpdateName"))
        target = &r.LastUpdateName;
    else
        target = &r.LastKillProcName;
    *target = value;
    return {};
}

} // namespace

AutomationShell::AutomationShell(Platform& platform, std::ostream& out, UiDriver* ui)
    : m_platform(platform), m_out(out), m_ui(ui) {
    if (m_ui)
        m_ui->SetObserver(this);
    Create();
}

AutomationShell::~AutomationShell() {
    Release();
    if (m_ui)
        m_ui->SetObserver(nullptr);
}

void AutomationShell::Create() {
    if (!m_agent)
        m_agent = std::make_unique<AuAgent>(m_platform, this);
}

void AutomationShell::Release() {
    m_records.clear();
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

void AutomationShell::SyntaxError(const std::string& what) {
    m_out << "Syntax error: " << what << '\n';
}

void AutomationShell::PrintError(long number, const std::string& source,
                                 const std::string& description) {
    m_out << "Error " << number << ' ' << source << ": " << description << '\n';
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
        SyntaxError("no agent; use create");
        return true;
    }
    if (SameName(head, "query")) {
        if (tokens.size() > 2) {
            SyntaxError("query takes one operation type");
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
            SyntaxError(isWait ? "wait EventName [ms]" : "sleep ms");
            return true;
        }
        long ms = 30000;
        if (tokens.size() > msIndex) {
            const auto v = ParseShellLong(tokens[msIndex]);
            if (!v || *v < 0) {
                SyntaxError("bad milliseconds: " + tokens[msIndex]);
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
        if (tokens.size() == 3 && SameName(tokens[1], "NewMessages") &&
            tokens[2].rfind("bSkipDialog=", 0) == 0) {
            const auto b = ParseShellBool(tokens[2].substr(12));
            if (b) {
                m_skipDialogAnswer = *b;
                m_skipDialogSet = true;
                return true;
            }
        }
        SyntaxError("on NewMessages bSkipDialog=True|False");
        return true;
    }
    if (SameName(head, "ui")) {
        Ui(tokens, line);
        return true;
    }
    if (SameName(head, "answer")) {
        Answer(tokens);
        return true;
    }
    if (SameName(head, "echo")) {
        m_out << TrimBlanks(line.substr(4)) << '\n';
        return true;
    }
    if (SameName(head, "grab") && tokens.size() == 3) {
        if (!m_grab)
            SyntaxError("grab needs real windows");
        else if (!m_grab(tokens[1], tokens[2]))
            m_out << "grab: " << tokens[1] << " could not be saved\n";
        return true;
    }
    if (SameName(head, "show") && tokens.size() == 2) {
        ShowRecord(tokens[1]);
        return true;
    }
    if (SameName(head, "messages") && tokens.size() == 1) {
        PrintMessages();
        return true;
    }
    if (SameName(head, "set")) {
        // set info = GetProductInfo
        if (tokens.size() == 4 && tokens[2] == "=") {
            CallMethod(tokens[3], {}, tokens[1]);
            return true;
        }
        SyntaxError("set NAME = GetProductInfo|GetLastInstallableUpdate");
        return true;
    }

    // name.Field, name.Field = value, name.Persist
    const auto dot = head.find('.');
    if (dot != std::string::npos && dot > 0) {
        RecordStatement(head.substr(0, dot), line.substr(dot + 1));
        return true;
    }

    if (const auto assignment = SplitAssignment(line)) {
        if (!WriteProperty(assignment->target, assignment->value))
            SyntaxError("unknown or read-only property: " + assignment->target);
        return true;
    }
    if (tokens.size() == 1 && ReadProperty(head))
        return true;
    if (CallMethod(head, tokens, std::string()))
        return true;
    SyntaxError(line);
    return true;
}

bool AutomationShell::ReadProperty(const std::string& name) {
    const Property* p = FindProperty(kAgentProperties, name);
    if (!p)
        return false;
    AuAgent& a = *m_agent;
    const std::string n = p->name;
    std::string value;
    if (n == "IsProcessing")
        value = ShellBool(a.IsProcessing());
    else if (n == "BaseURL")
        value = a.BaseURL();
    else if (n == "ProductCode")
        value = a.ProductCode();
    else if (n == "MajorVer")
        value = std::to_string(a.MajorVer());
    else if (n == "MinorVer")
        value = std::to_string(a.MinorVer());
    else if (n == "Revision")
        value = std::to_string(a.Revision());
    else if (n == "CampaignID")
        value = a.CampaignID();
    else if (n == "LicKey")
        value = a.LicKey();
    else if (n == "ProductLCID")
        value = std::to_string(a.ProductLCID());
    else if (n == "TestMode")
        value = ShellBool(a.TestMode());
    else if (n == "UILanguageLCID")
        value = std::to_string(a.UILanguageLCID());
    else if (n == "AutoConnect")
        value = ShellBool(a.AutoConnect());
    else if (n == "hwndOwner")
        value = std::to_string(a.hwndOwner());
    else if (n == "CompatMode")
        value = std::to_string(a.CompatMode());
    else if (n == "IsConnected") {
        const Outcome<bool> connected = a.IsConnected();
        if (!connected.ok()) {
            PrintError(connected.error().number, connected.error().source,
                       connected.error().description);
            return true;
        }
        value = ShellBool(connected.value());
    }
    m_out << n << " = " << value << '\n';
    return true;
}

bool AutomationShell::WriteProperty(const std::string& name, const std::string& value) {
    const Property* p = FindProperty(kAgentProperties, name);
    if (!p || !p->writable)
        return false;
    AuAgent& a = *m_agent;
    const std::string n = p->name;
    if (p->kind == Kind::Text) {
        if (n == "BaseURL")
            a.SetBaseURL(value);
        else if (n == "ProductCode")
            a.SetProductCode(value);
        else if (n == "CampaignID")
            a.SetCampaignID(value);
        else
            a.SetLicKey(value);
        return true;
    }
    if (p->kind == Kind::Bool) {
        const auto b = ParseShellBool(value);
        if (!b) {
            PrintError(13, "Shell", "Type mismatch");
            return true;
        }
        if (n == "TestMode")
            a.SetTestMode(*b);
        else
            a.SetAutoConnect(*b);
        return true;
    }
    const auto v = ParseShellLong(value);
    if (!v) {
        PrintError(13, "Shell", "Type mismatch");
        return true;
    }
    if (n == "MajorVer")
        a.SetMajorVer(*v);
    else if (n == "MinorVer")
        a.SetMinorVer(*v);
    else if (n == "Revision")
        a.SetRevision(*v);
    else if (n == "ProductLCID")
        a.SetProductLCID(*v);
    else if (n == "UILanguageLCID")
        a.SetUILanguageLCID(*v);
    else if (n == "hwndOwner")
        a.SethwndOwner(*v);
    else
        a.SetCompatMode(*v);
    return true;
}

bool AutomationShell::CallMethod(const std::string& name, const std::vector<std::string>& tokens,
                                 const std::string& bindTo) {
    static const char* const kMethods[] = {"CheckMessages", "DisplayMessages",
                                           "CheckInstallableUpdates", "GetProductInfo",
                                           "GetLastInstallableUpdate"};
    std::string method;
    for (const char* m : kMethods)
        if (SameName(m, name))
            method = m;
    if (method.empty())
        return false;

    Args args;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const auto eq = tokens[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            SyntaxError("argument must be name=value: " + tokens[i]);
            return true;
        }
        args[tokens[i].substr(0, eq)] = tokens[i].substr(eq + 1);
    }
    auto boolArg = [&](const char* argName, std::optional<bool>& out) {
        for (const auto& [k, v] : args)
            if (SameName(k, argName)) {
                out = ParseShellBool(v);
                return out.has_value();
            }
        return true;
    };
    auto checkArgs = [&](std::initializer_list<const char*> allowed) {
        for (const auto& [k, v] : args) {
            bool known = false;
            for (const char* a : allowed)
                known = known || SameName(k, a);
            if (!known) {
                SyntaxError(method + " has no argument " + k);
                return false;
            }
        }
        return true;
    };

    const bool returnsRecord = method == "GetProductInfo" || method == "GetLastInstallableUpdate";
    if (!bindTo.empty() && !returnsRecord) {
        SyntaxError("only GetProductInfo and GetLastInstallableUpdate return a record");
        return true;
    }

    if (method == "CheckMessages") {
        std::optional<bool> silent, async, automatic;
        if (!checkArgs({"bSilent", "bAsync", "bAuto"}))
            return true;
        if (!boolArg("bSilent", silent) || !boolArg("bAsync", async) ||
            !boolArg("bAuto", automatic)) {
            PrintError(13, "Shell", "Type mismatch");
            return true;
        }
        const Outcome<bool> r = m_agent->CheckMessages(silent, async, automatic);
        if (!r.ok())
            PrintError(r.error().number, r.error().source, r.error().description);
        else
            m_out << "CheckMessages -> " << ShellBool(r.value()) << '\n';
    } else if (method == "DisplayMessages") {
        if (!checkArgs({}))
            return true;
        const Outcome<> r = m_agent->DisplayMessages();
        if (!r.ok())
            PrintError(r.error().number, r.error().source, r.error().description);
        else
            m_out << "DisplayMessages -> Nothing\n";
    } else if (method == "CheckInstallableUpdates") {
        std::optional<bool> silent;
        if (!checkArgs({"bSilent"}))
            return true;
        if (!boolArg("bSilent", silent)) {
            PrintError(13, "Shell", "Type mismatch");
            return true;
        }
        const bool result = m_agent->CheckInstallableUpdates(silent);
        m_out << "CheckInstallableUpdates -> " << ShellBool(result) << '\n';
    } else {
        if (!checkArgs({}))
            return true;
        std::unique_ptr<AuProductInfo> record = method == "GetProductInfo"
                                                    ? m_agent->GetProductInfo()
                                                    : m_agent->GetLastInstallableUpdate();
        const bool found = record != nullptr;
        if (!bindTo.empty()) {
            if (record)
                m_records[bindTo] = std::move(record);
            else
                m_records.erase(bindTo);
            m_out << "set " << bindTo << " = " << (found ? "AuProductInfo" : "Nothing") << '\n';
        } else {
            m_out << method << " -> " << (found ? "AuProductInfo" : "Nothing") << '\n';
        }
    }
    return true;
}

bool AutomationShell::RecordStatement(const std::string& var, const std::string& rest) {
    auto it = m_records.find(var);
    if (it == m_records.end()) {
        SyntaxError("no record bound to " + var);
        return true;
    }
    AuProductInfo& record = *it->second;
    if (const auto assignment = SplitAssignment(rest)) {
        const Property* p = FindProperty(kRecordFields, assignment->target);
        if (!p) {
            SyntaxError("AuProductInfo has no field " + assignment->target);
            return true;
        }
        const std::string error = SetField(record, *p, assignment->value);
        if (!error.empty())
            PrintError(13, "Shell", error);
        return true;
    }
    const std::string member = TrimBlanks(rest);
    if (SameName(member, "Persist")) {
        record.Persist();
        m_out << var << ".Persist -> Nothing\n";
        return true;
    }
    const Property* p = FindProperty(kRecordFields, member);
    if (!p) {
        SyntaxError("AuProductInfo has no member " + member);
        return true;
    }
    m_out << var << '.' << p->name << " = " << FieldText(record, p->name) << '\n';
    return true;
}

void AutomationShell::ShowRecord(const std::string& var) {
    auto it = m_records.find(var);
    if (it == m_records.end()) {
        m_out << var << " = Nothing\n";
        return;
    }
    for (const auto& field : kRecordFields)
        m_out << var << '.' << field.name << " = " << FieldText(*it->second, field.name) << '\n';
}

void AutomationShell::Wait(const std::string& event, long ms) {
    std::string name;
    for (const char* e : {"NewMessages", "ProcessCompleted"})
        if (SameName(e, event))
            name = e;
    if (name.empty() && SameName(event, "Page")) {
        WaitForPage(ms);
        return;
    }
    if (name.empty()) {
        SyntaxError("unknown event " + event);
        return;
    }
    auto arrived = [&] { return m_pendingEvents[name] > 0; };
    if (!arrived() && m_platform.loop)
        m_platform.loop->RunUntil(arrived, ms);
    if (arrived())
        --m_pendingEvents[name];
    else
        m_out << "Timeout\n";
}

void AutomationShell::NewMessages(long lMessageCount, const std::string& sMessageStamp,
                                  const std::string& sResponseXML, bool& bSkipDialog) {
    m_out << "Event NewMessages lMessageCount=" << lMessageCount
          << " sMessageStamp=" << sMessageStamp << " bSkipDialog=" << ShellBool(bSkipDialog)
          << '\n';
    m_out << "  xml: " << sResponseXML << '\n';
    if (m_skipDialogSet)
        bSkipDialog = m_skipDialogAnswer;
    ++m_pendingEvents["NewMessages"];
    m_out.flush();
}

void AutomationShell::ProcessCompleted() {
    m_out << "Event ProcessCompleted\n";
    ++m_pendingEvents["ProcessCompleted"];
    m_out.flush();
}

void AutomationShell::FormShown(const UiDriver::FormSnapshot& form, bool modal) {
    m_out << "Form " << form.name << " shown " << (modal ? "modal" : "modeless") << '\n';
    m_out << "  caption: " << form.caption << '\n';
    for (const auto& [control, text] : form.texts)
        m_out << "  " << control << ": " << OneLine(text) << '\n';
    if (form.name == "dlgDownload")
        WatchDownload(true);
    m_out.flush();
}

void AutomationShell::FormHidden(const std::string& formName) {
    if (formName == "dlgDownload") {
        PrintDownloadProgress();
        WatchDownload(false);
    }
}

void AutomationShell::WatchDownload(bool on) {
    if (!on) {
        m_progressTimer.reset();
        return;
    }
    if (!m_platform.loop)
        return;
    m_lastProgress.clear();
    m_progressTimer = m_platform.loop->CreateTimer();
    m_progressTimer->AddTimer("progress", 500, 0);
    m_progressTimer->SetTimerHandler([this](const std::string&) { PrintDownloadProgress(); });
    m_progressTimer->EnableTimer("progress", true);
}

void AutomationShell::PrintDownloadProgress() {
    if (!m_ui || m_ui->Caption("dlgDownload").empty())
        return;
    const std::string line = m_ui->Caption("dlgDownload") + " | " +
                             m_ui->Text("dlgDownload", "lblMessage") + " | " +
                             m_ui->Text("dlgDownload", "lblTransferMessage");
    if (line == m_lastProgress)
        return;
    m_lastProgress = line;
    m_out << "  progress: " << line << '\n';
    m_out.flush();
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

void AutomationShell::FormUnloaded(const std::string& formName) {
    if (formName == "dlgDownload")
        WatchDownload(false);
    m_out << "Form " << formName << " unloaded\n";
    m_out.flush();
}

void AutomationShell::MessageBoxShown(const std::string& text, const std::string& title,
                                      MsgBoxResult answer) {
    const char* answerText = answer == MsgBoxResult::Yes  ? "Yes"
                             : answer == MsgBoxResult::No ? "No"
                             : answer == MsgBoxResult::OK ? "OK"
                                                          : "Cancel";
    m_out << "MsgBox " << (title.empty() ? "Keldra Update Service" : title) << ": " << text
          << " -> " << answerText << '\n';
    m_out.flush();
}

void AutomationShell::ModalTimedOut(const std::string& formName) {
    m_out << "Form " << formName << " got no answer in time: closed with its close box\n";
}

void AutomationShell::Ui(const std::vector<std::string>& tokens, const std::string& line) {
    if (!m_ui) {
        SyntaxError("ui needs a user interface");
        return;
    }
    if (tokens.size() < 3) {
        SyntaxError("ui <form>[.<control>] click|check|uncheck|close ...");
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
                        SyntaxError("page element must be #id or [attr=value]: " + t);
                        return;
                    }
                    element.attributes.emplace_back(t.substr(1, eq - 1),
                                                    t.substr(eq + 1, t.size() - eq - 2));
                }
            }
            if (!m_ui->ClickPage(form, element))
                m_out << "ui: no such element on the page: " << line.substr(line.find(tokens[3]))
                      << '\n';
            return;
        }
        SyntaxError("ui <form> close | ui <form> click #id | ui <form> click [attr=value]...");
        return;
    }
    const std::string form = target.substr(0, dot);
    std::string control = target.substr(dot + 1);
    int index = -1;
    const auto paren = control.find('(');
    if (paren != std::string::npos && control.back() == ')') {
        const auto v = ParseShellLong(control.substr(paren + 1, control.size() - paren - 2));
        if (!v) {
            SyntaxError("bad control index in " + control);
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
        SyntaxError("ui <form>.<control> click|check|uncheck");
        return;
    }
    if (!done)
        m_out << "ui: " << target << " is not there\n";
}

void AutomationShell::Answer(const std::vector<std::string>& tokens) {
    if (!m_ui) {
        SyntaxError("answer needs a user interface");
        return;
    }
    if (tokens.size() < 3) {
        SyntaxError("answer <form> <action>... | answer MsgBox Yes|No|OK|Cancel");
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
                SyntaxError("MsgBox answers are Yes, No, OK, Cancel: " + a);
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
                SyntaxError("bad control index in " + tokens[i]);
                return;
            }
            index = static_cast<int>(*v);
            control = control.substr(0, paren);
        }
        if (SameName(verb, "pause")) {
            const auto ms = ParseShellLong(control);
            if (!ms || *ms < 0) {
                SyntaxError("pause:MS takes milliseconds");
                return;
            }
            IEventLoop* loop = m_platform.loop;
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
            SyntaxError("unknown answer action " + tokens[i]);
            return;
        }
    }
    for (auto& a : actions)
        m_ui->QueueModalAction(form, std::move(a));
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
