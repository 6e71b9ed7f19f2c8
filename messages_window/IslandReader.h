#pragma once
// Builds the message and feature records of a data island from its elements, as the document
// hands them over in document order while it loads: messages are the root's Message children,
// features the Feature children of a message's Features children, patches of its package the
// Delta children of a message; nothing else is read.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AgentPtr.h"
#include "deploy/AuMessage.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IslandReader {
public:
    explicit IslandReader(AgentPtr agent) : m_agent(std::move(agent)) {}

    void Visit(IXmlElement& element, std::string_view name, int depth);
    // The messages read, in document order.
    std::vector<std::unique_ptr<AuMessage>> Finish();

private:
    void ReadMessage(IXmlElement& element);
    void ReadFeature(IXmlElement& element);
    void ReadDelta(IXmlElement& element);
    void FinishMessage();

    AgentPtr m_agent;
    std::vector<std::unique_ptr<AuMessage>> m_messages;
    AuMessage* m_message = nullptr; // the Message element being read, if any
    bool m_inFeatures = false;      // within a Features child of it
    // The current message's features so far, and those of the last message with any: a page's
    // messages mostly have alike features, so each message reserves room for as many.
    std::size_t m_featureCount = 0;
    std::size_t m_keyBytes = 0;
    std::size_t m_lastFeatureCount = 0;
    std::size_t m_lastKeyBytes = 0;
    // Reused from element to element, so that a large page costs no allocations beyond its
    // records; room for the attributes of a Message element, the most read of one element.
    static constexpr std::size_t kMaxFields = 15;
    std::optional<std::string_view> m_fields[kMaxFields];
    std::string m_scratch[kMaxFields];
};

} // namespace KDAutoUpdate
