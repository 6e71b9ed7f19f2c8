#include "tests/support/RecordingProcessLauncher.h"

namespace KDAutoUpdate {

bool RecordingProcessLauncher::StartCommandLine(const std::string& commandLine) {
    m_commandLines.push_back(commandLine);
    if (m_onStart)
        m_onStart(commandLine);
    return m_result;
}

} // namespace KDAutoUpdate
