#pragma once
// Builds the message and feature records of a data island from its elements, as the document
// hands them over in document order while it loads: messages are the root's Message children,
// features the Feature children of a message's Features children; nothing else is read.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent/AgentPtr.h"
#include "deploy/AuMessage.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IslandReader {
public:
    explicit IslandReader(AgentPtr agent) : m_agent(std::move(agent)) {}

    void Visit(IXmlElement& element, std::string_view name, int depth);
    // The messages read, in document order; a repeated feature name of a message is dropped.
    std::vector<std::unique_ptr<AuMessage>> Finish();

    // The attributes read from a Message and from a Feature element, in the order services
    // write them; the enumerators index the values read.
    static constexpr const char* kMessageFields[] = {
        "id",           "name",         "toVersion",  "fileName",   "forProduct",
        "killProcName", "downloadPath", "compressed", "mustBePaid", "cmdLine",
        "type",         "destination",  "sha256",     "signature"};
    static constexpr const char* kFeatureFields[] = {"name", "mandatory", "allowUserSelection",
                                                     "checked", "type"};

private:
    // A Feature element as read, until its message's features are all known.
    struct FeatureRead {
        std::string name;
        bool mandatory;
        bool allowUserSelection;
        bool checked;
        AuFeatureTypes type;
    };

    void ReadMessage(IXmlElement& element);
    void ReadFeature(IXmlElement& element);
    // Gives the current message its features, counted first so that they take one block.
    void FinishMessage();

    AgentPtr m_agent;
    std::vector<std::unique_ptr<AuMessage>> m_messages;
    AuMessage* m_message = nullptr; // the Message element being read, if any
    bool m_inFeatures = false;      // within a Features child of it
    std::vector<FeatureRead> m_features;
    // Reused from element to element, so that a large page costs no allocations beyond its
    // records.
    std::optional<std::string_view> m_fields[std::size(kMessageFields)];
    std::string m_scratch[std::size(kMessageFields)];
};

} // namespace KDAutoUpdate
