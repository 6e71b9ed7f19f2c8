#pragma once
// The automation console: acts as a host of one agent, one statement a line.

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "UiDriver.h"
#include "agent/AgentEvents.h"
#include "platform/HiResTimer.h"
#include "platform/Platform.h"

namespace KDAutoUpdate {

class AuAgent;
class AuProductInfo;

class AutomationShell : public IAuAgentEvents, public UiDriver::Observer {
public:
    // `ui` may be null; `ui` and `answer` statements then report that they are not available.
    AutomationShell(Platform& platform, std::ostream& out, UiDriver* ui);
    ~AutomationShell() override;

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

    // IAuAgentEvents
    void NewMessages(long lMessageCount, const std::string& sMessageStamp,
                     const std::string& sResponseXML, bool& bSkipDialog) override;
    void ProcessCompleted() override;

    // UiDriver::Observer
    void FormShown(const UiDriver::FormSnapshot& form, bool modal) override;
    void FormHidden(const std::string& formName) override;
    void FormUnloaded(const std::string& formName) override;
    void MessageBoxShown(const std::string& text, const std::string& title,
                         MsgBoxResult answer) override;
    void ModalTimedOut(const std::string& formName) override;

private:
    using Args = std::map<std::string, std::string>;

    void Create();
    bool ReadProperty(const std::string& name);
    bool WriteProperty(const std::string& name, const std::string& value);
    bool CallMethod(const std::string& name, const std::vector<std::string>& tokens,
                    const std::string& bindTo);
    bool RecordStatement(const std::string& var, const std::string& rest);
    void Wait(const std::string& event, long ms);
    void Ui(const std::vector<std::string>& tokens, const std::string& line);
    void Answer(const std::vector<std::string>& tokens);
    void PrintMessages();
    void ShowRecord(const std::string& var);
    void WaitForPage(long ms);
    // Prints the download dialog's texts when they changed, at most twice a second.
    void WatchDownload(bool on);
    void PrintDownloadProgress();
    void SyntaxError(const std::string& what);
    void PrintError(long number, const std::string& source, const std::string& description);

    Platform& m_platform;
    std::ostream& m_out;
    UiDriver* m_ui;
    std::unique_ptr<AuAgent> m_agent;
    std::map<std::string, std::unique_ptr<AuProductInfo>> m_records;
    std::map<std::string, int> m_pendingEvents;
    bool m_skipDialogAnswer = false;
    bool m_skipDialogSet = false;
    std::unique_ptr<KDHiResTimer> m_progressTimer;
    std::string m_lastProgress;
    std::function<bool(const std::string&, const std::string&)> m_grab;
};

} // namespace KDAutoUpdate
