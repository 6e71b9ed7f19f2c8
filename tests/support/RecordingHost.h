#pragma once
// A host's event sink that records what the agent raised.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "agent/AgentEvents.h"

namespace KDAutoUpdate {

class RecordingHost : public IAuAgentEvents {
public:
    struct NewMessagesEvent {
        long count = 0;
        std::string stamp;
        std::string xml;
        bool skipDialogIn = false;
    };

    void NewMessages(long lMessageCount, const std::string& sMessageStamp,
                     const std::string& sResponseXML, bool& bSkipDialog) override {
        newMessages.push_back({lMessageCount, sMessageStamp, sResponseXML, bSkipDialog});
        if (onNewMessages)
            onNewMessages(bSkipDialog);
        else
            bSkipDialog = skipDialogAnswer.value_or(bSkipDialog);
    }
    void ProcessCompleted() override { ++processCompleted; }

    std::vector<NewMessagesEvent> newMessages;
    int processCompleted = 0;
    std::optional<bool> skipDialogAnswer;
    std::function<void(bool&)> onNewMessages;
};

} // namespace KDAutoUpdate
