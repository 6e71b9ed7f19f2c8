#pragma once
// The agent's events as the automation description gives them. A front derives from this and
// delivers each event in one place: Raise receives the event's description and its arguments
// in the described order and types; whatever the front writes into a byRef argument is what
// the agent reads back after the event (NewMessages' bSkipDialog).

#include <vector>

#include "agent/AgentEvents.h"
#include "common/Variant.h"
#include "automation/AutomationDescription.h"

namespace KDAutoUpdate {

class AutomationEventRaiser : public IAuAgentEvents {
public:
    void NewMessages(long lMessageCount, const std::string& sMessageStamp,
                     const std::string& sResponseXML, bool& bSkipDialog) final;
    void ProcessCompleted() final;

protected:
    // Longs arrive as int32, Strings as std::string, Booleans as bool.
    virtual void Raise(const EventDescription& event, std::vector<Variant>& args) = 0;
};

} // namespace KDAutoUpdate
