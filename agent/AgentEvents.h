#pragma once
// The agent's events to its host.

#include <string>

namespace KDAutoUpdate {

class IAuAgentEvents {
public:
    virtual ~IAuAgentEvents() = default;
    // An asynchronous check found messages to announce. The handler may set bSkipDialog; the
    // agent reads it back after the handler returns.
    virtual void NewMessages(long lMessageCount, const std::string& sMessageStamp,
                             const std::string& sResponseXML, bool& bSkipDialog) = 0;
    // The agent has become idle after a check or a display of messages.
    virtual void ProcessCompleted() = 0;
};

} // namespace KDAutoUpdate
