#pragma once
// What the agent's records and windows may ask of the agent that owns them. They live in the
// folders below agent/ and never see AuAgent itself: their AgentPtr resolves to this.

#include <string>

#include "AgentPtr.h"
#include "platform/Platform.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IAgent {
public:
    virtual ~IAgent() = default;

    virtual Platform& GetPlatform() = 0;
    virtual AgentPtr Ptr() const = 0;

    // The properties the query, the page and the version checks read.
    virtual std::string BaseURL() const = 0;
    virtual std::string ProductCode() const = 0;
    virtual long MajorVer() const = 0;
    virtual long MinorVer() const = 0;
    virtual long Revision() const = 0;
    virtual long hwndOwner() const = 0;
    virtual std::string BuildQueryString(const std::string& sOpType) = 0;

    // The store: its document, and its lookups for the current product code.
    virtual IXmlDocument* UpdateInfoDocument() = 0;
    virtual XmlElementPtr GetProductNode() = 0;
    virtual std::string GetProductAttribute(const std::string& sName) = 0;
    virtual void SetProductAttribute(const std::string& sName, const std::string& vValue) = 0;

    // The path of a file in the program's folder.
    virtual std::string ProgramFilePath(const std::string& fileName) const = 0;
};

} // namespace KDAutoUpdate
