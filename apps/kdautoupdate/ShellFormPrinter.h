#pragma once
// Prints what the user sees while the shell runs: windows as they are shown, hidden and
// unloaded with their texts, message boxes, the download dialog's progress.

#include <memory>
#include <ostream>
#include <string>

#include "UiDriver.h"
#include "platform/HiResTimer.h"

namespace KDAutoUpdate {

class IEventLoop;

class ShellFormPrinter : public UiDriver::Observer {
public:
    ShellFormPrinter(std::ostream& out, UiDriver* ui, IEventLoop* loop);
    ~ShellFormPrinter() override;

    void FormShown(const UiDriver::FormSnapshot& form, bool modal) override;
    void FormHidden(const std::string& formName) override;
    void FormUnloaded(const std::string& formName) override;
    void MessageBoxShown(const std::string& text, const std::string& title,
                         MsgBoxResult answer) override;
    void ModalTimedOut(const std::string& formName) override;

private:
    // Prints the download dialog's texts when they changed, at most twice a second.
    void WatchDownload(bool on);
    void PrintDownloadProgress();

    std::ostream& m_out;
    UiDriver* m_ui;
    IEventLoop* m_loop;
    std::unique_ptr<KDHiResTimer> m_progressTimer;
    std::string m_lastProgress;
};

} // namespace KDAutoUpdate
