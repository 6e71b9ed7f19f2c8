#include "automation/AutomationEventRaiser.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

#include "common/modMain.h"

namespace KDAutoUpdate {

namespace {

const EventDescription& AgentEvent(std::string_view name) {
    for (const EventDescription& e : AuAgentClass().events)
        if (e.name == name)
            return e;
    // Every event the agent raises is described; reaching here is a broken description.
    std::abort();
}

// The event's arguments in the described order, each from the value the agent gave by name,
// so the order hosts see is the description's alone.
std::vector<Variant> InOrder(const EventDescription& e,
                             const std::map<std::string_view, Variant>& byName) {
    std::vector<Variant> args;
    args.reserve(e.arguments.size());
    for (const ArgumentDescription& a : e.arguments)
        args.push_back(byName.at(a.name));
    return args;
}

const Variant& Argument(const EventDescription& e, const std::vector<Variant>& args,
                        std::string_view name) {
    for (std::size_t i = 0; i < e.arguments.size(); ++i)
        if (e.arguments[i].name == name)
            return args[i];
    std::abort();
}

} // namespace

void AutomationEventRaiser::NewMessages(long lMessageCount, const std::string& sMessageStamp,
                                        const std::string& sResponseXML, bool& bSkipDialog) {
    const EventDescription& e = AgentEvent("NewMessages");
    std::vector<Variant> args =
        InOrder(e, {{"lMessageCount", Variant(static_cast<std::int32_t>(lMessageCount))},
                    {"sMessageStamp", Variant(sMessageStamp)},
                    {"sResponseXML", Variant(sResponseXML)},
                    {"bSkipDialog", Variant(bSkipDialog)}});
    Raise(e, args);
    bSkipDialog = VarToBool(Argument(e, args, "bSkipDialog"), bSkipDialog);
}

void AutomationEventRaiser::ProcessCompleted() {
    std::vector<Variant> none;
    Raise(AgentEvent("ProcessCompleted"), none);
}

} // namespace KDAutoUpdate
