#pragma once
// The non-owning back-reference that records and windows keep to their agent. It never keeps
// the agent alive; once the agent has ended it resolves to nothing instead of dangling.

#include <cstdint>
#include <memory>

namespace KDAutoUpdate {

class IAgent;

class AgentPtr {
public:
    AgentPtr() = default;
    AgentPtr(IAgent* agent, std::weak_ptr<const void> alive)
        : m_agent(agent), m_alive(std::move(alive)) {}

    // The agent's address as a number; 0 when unset.
    std::uintptr_t Address() const { return reinterpret_cast<std::uintptr_t>(m_agent); }
    // The agent, or null when unset or ended.
    IAgent* Resolve() const { return m_alive.expired() ? nullptr : m_agent; }

private:
    IAgent* m_agent = nullptr;
    std::weak_ptr<const void> m_alive;
};

} // namespace KDAutoUpdate
