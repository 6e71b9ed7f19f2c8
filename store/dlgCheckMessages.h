#pragma once
// The notification dialog: a check found something new; Yes opens the messages window.
// Not modal; every close writes the user's wish not to be told again.

#include <memory>

#include "common/AgentPtr.h"
#include "common/Form.h"

namespace KDAutoUpdate {

class dlgCheckMessages : public Form {
public:
    explicit dlgCheckMessages(Platform& platform);

    static FormDef Definition();
    // Loads the thread's default instance and calls Init on it.
    static void Open(const AgentPtr& lAgentPtr);
    // The thread's default instance (what Open shows).
    static std::unique_ptr<dlgCheckMessages>& Instance();

    void Init(const AgentPtr& lAgentPtr);
    IAgent* Agent() const;

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void Control_Click(const std::string& control, int index) override;

private:
    void SetTexts();
    void cmdYes_Click();
    void cmdNo_Click();

    AgentPtr m_agentPtr;
};

} // namespace KDAutoUpdate
