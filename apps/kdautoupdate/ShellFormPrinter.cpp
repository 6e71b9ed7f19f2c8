#include "ShellFormPrinter.h"

#include "platform/EventLoop.h"

namespace KDAutoUpdate {

namespace {

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

} // namespace

ShellFormPrinter::ShellFormPrinter(std::ostream& out, UiDriver* ui, IEventLoop* loop)
    : m_out(out), m_ui(ui), m_loop(loop) {
    if (m_ui)
        m_ui->SetObserver(this);
}

ShellFormPrinter::~ShellFormPrinter() {
    if (m_ui)
        m_ui->SetObserver(nullptr);
}

void ShellFormPrinter::FormShown(const UiDriver::FormSnapshot& form, bool modal) {
    m_out << "Form " << form.name << " shown " << (modal ? "modal" : "modeless") << '\n';
    m_out << "  caption: " << form.caption << '\n';
    for (const auto& [control, text] : form.texts)
        m_out << "  " << control << ": " << OneLine(text) << '\n';
    if (form.name == "dlgDownload")
        WatchDownload(true);
    m_out.flush();
}

void ShellFormPrinter::FormHidden(const std::string& formName) {
    if (formName == "dlgDownload") {
        PrintDownloadProgress();
        WatchDownload(false);
    }
}

void ShellFormPrinter::FormUnloaded(const std::string& formName) {
    if (formName == "dlgDownload")
        WatchDownload(false);
    m_out << "Form " << formName << " unloaded\n";
    m_out.flush();
}

void ShellFormPrinter::MessageBoxShown(const std::string& text, const std::string& title,
                                       MsgBoxResult answer) {
    const char* answerText = answer == MsgBoxResult::Yes  ? "Yes"
                             : answer == MsgBoxResult::No ? "No"
                             : answer == MsgBoxResult::OK ? "OK"
                                                          : "Cancel";
    m_out << "MsgBox " << (title.empty() ? "Keldra Update Service" : title) << ": " << text
          << " -> " << answerText << '\n';
    m_out.flush();
}

void ShellFormPrinter::ModalTimedOut(const std::string& formName) {
    m_out << "Form " << formName << " got no answer in time: closed with its close box\n";
}

void ShellFormPrinter::WatchDownload(bool on) {
    if (!on) {
        m_progressTimer.reset();
        return;
    }
    if (!m_loop)
        return;
    m_lastProgress.clear();
    m_progressTimer = m_loop->CreateTimer();
    m_progressTimer->AddTimer("progress", 500, 0);
    m_progressTimer->SetTimerHandler([this](const std::string&) { PrintDownloadProgress(); });
    m_progressTimer->EnableTimer("progress", true);
}

void ShellFormPrinter::PrintDownloadProgress() {
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

} // namespace KDAutoUpdate
