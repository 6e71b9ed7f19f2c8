#pragma once
// A product's stored state as a record of ten fields; Persist writes them back.

#include <memory>
#include <string>

#include "common/AgentPtr.h"
#include "common/AutomationDate.h"

namespace KDAutoUpdate {

class IAgent;

class AuProductInfo {
public:
    std::string ProductCode;
    std::string LastMessageStamp;
    bool DoNotNotifyLastMessage = false;
    AutomationDate LastCheckedDate;
    AutomationDate LastInitDate;
    std::string LastUpdateMessageID;
    bool InstallLastUpdateOnStartUp = false;
    std::string LastUpdateCmd;
    std::string LastUpdateName;
    std::string LastKillProcName;

    void Persist() { WriteToStore(); }

    // Inside the system only.
    void SetAgentPtr(const AgentPtr& ptr) { m_agentPtr = ptr; }
    IAgent* Agent() const;
    // Writes every field but ProductCode into the product element of the agent's current
    // product code. Does nothing once the agent has ended.
    void WriteToStore();
    // A new record filled from the store, or null without a product code or element.
    static std::unique_ptr<AuProductInfo> Read(IAgent& agent);

private:
    AgentPtr m_agentPtr;
};

} // namespace KDAutoUpdate
