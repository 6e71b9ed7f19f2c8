#pragma once
// A process start that starts nothing: it records the command lines it was given and answers
// what the test set.

#include <functional>
#include <string>
#include <vector>

#include "platform/ProcessLauncher.h"

namespace KDAutoUpdate {

class RecordingProcessLauncher : public IProcessLauncher {
public:
    bool StartCommandLine(const std::string& commandLine) override {
        m_commandLines.push_back(commandLine);
        if (m_onStart)
            m_onStart(commandLine);
        return m_result;
    }

    // What StartCommandLine answers (true unless set).
    void SetResult(bool started) { m_result = started; }
    // Runs on every start, after the recording (to look at the state of the caller then).
    void OnStart(std::function<void(const std::string&)> hook) { m_onStart = std::move(hook); }
    // Command lines in the order they came.
    const std::vector<std::string>& CommandLines() const { return m_commandLines; }

private:
    bool m_result = true;
    std::function<void(const std::string&)> m_onStart;
    std::vector<std::string> m_commandLines;
};

} // namespace KDAutoUpdate
