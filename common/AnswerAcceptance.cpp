// Whether the agent may act on a service answer, given the product's keys.

#include "common/IAgent.h"
#include "SignedAnswer.h"
#include "UpdateKeys.h"
#include "platform/EventLoop.h"

namespace KDAutoUpdate {

bool AnswerAccepted(IAgent& agent, const XmlElementPtr& root,
                    std::string (*content)(const XmlElementPtr&)) {
    const UpdateKeys keys = UpdateKeys::ForAgent(agent);
    if (!keys.Required())
        return true;
    if (!root || !keys.SignedData(content(root), root->getAttribute("signature").value_or("")))
        return false;
    const std::optional<std::string> expires = root->getAttribute("expires");
    if (!expires)
        return true;
    const std::optional<long long> end = ParseUtcTimestamp(*expires);
    IEventLoop* loop = agent.GetPlatform().loop;
    return end && loop && loop->NowUtcSeconds() <= *end;
}

} // namespace KDAutoUpdate
