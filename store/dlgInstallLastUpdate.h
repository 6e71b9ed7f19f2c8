#pragma once
// The reminder of a downloaded update that waits to be installed. Modal.

#include "common/AgentPtr.h"
#include "common/Form.h"

namespace KDAutoUpdate {

class dlgInstallLastUpdate : public Form {
public:
    explicit dlgInstallLastUpdate(Platform& platform);
    static FormDef Definition();

    // Sets the message and shows the dialog modally; returns when it is hidden.
    void Init(const std::string& sUpdateName, const AgentPtr& lAgentPtr);
    bool Cancelled() const { return m_bCancelled; }
    IAgent* Agent() const;

protected:
    void Form_Load() override;
    bool Form_QueryUnload(UnloadMode mode) override;
    void Form_Unload() override;
    void Control_Click(const std::string& control, int index) override;

private:
    AgentPtr m_agentPtr;
    bool m_bCancelled = false;
};

// Clears the pending update of the agent's current product.
void ClearPendingUpdate(IAgent& agent);

} // namespace KDAutoUpdate
