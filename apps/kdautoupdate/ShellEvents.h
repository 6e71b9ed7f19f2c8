#pragma once
// The shell as host of the agent's events: prints each described event with its arguments,
// answers byRef arguments as `on` statements asked, and counts events for `wait`.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "automation/AutomationEventRaiser.h"

namespace KDAutoUpdate {

class ShellEvents : public AutomationEventRaiser {
public:
    explicit ShellEvents(std::ostream& out) : m_out(out) {}

    // `on NewMessages bSkipDialog=True`: the value later events of that name leave in the
    // byRef argument. Prints a syntax error for anything else.
    void On(const std::vector<std::string>& tokens);
    // The described name of the event `name` (any case), empty if there is none.
    std::string EventName(const std::string& name) const;
    // Whether an event `name` (as EventName gives it) has arrived and not yet been taken.
    bool Arrived(const std::string& name) { return m_pending[name] > 0; }
    void Take(const std::string& name) { --m_pending[name]; }

protected:
    void Raise(const EventDescription& event, std::vector<Variant>& args) override;

private:
    std::ostream& m_out;
    std::map<std::string, int> m_pending;
    // "Event.argument" -> the value a host's handler leaves in it.
    std::map<std::string, Variant> m_answers;
};

} // namespace KDAutoUpdate
