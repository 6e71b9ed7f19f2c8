// The service page's data island: found by id, parsed, and read into message and feature
// records that the page's buttons name by key.

#include <cctype>

#include "agent/AuAgent.h"
#include "agent/SignedAnswer.h"
#include "agent/Unicode.h"
#include "agent/modMain.h"
#include "frmMessages.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kIslandId = "KdAutoUpdate";
constexpr long kIslandErrorNumber = kObjectErrorBase + 1;

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The island's XML, cut out of `raw` in place. Some browsers give the island element's source
// with its own start and end tag: that <xml id="KdAutoUpdate"> wrapper is the island's
// container, not its document element, which may itself be named "xml".
std::string IslandContent(std::string raw) {
    std::size_t start = 0;
    while (start < raw.size() && IsSpace(raw[start]))
        ++start;
    const bool wrapped =
        raw.size() >= start + 5 && LowerCase(raw.substr(start, 4)) == "<xml" &&
        (IsSpace(raw[start + 4]) || raw[start + 4] == '>' || raw[start + 4] == '/');
    // End of the start tag; attribute values may hold '>'.
    char quote = 0;
    std::size_t pos = start + 4;
    for (; wrapped && pos < raw.size(); ++pos) {
        const char c = raw[pos];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (!wrapped || pos >= raw.size() ||
        LowerCase(raw.substr(start, pos - start)).find(LowerCase(kIslandId)) == std::string::npos) {
        raw.erase(0, start); // the island's own root element
        return raw;
    }
    if (raw[pos - 1] == '/')
        return {};
    const std::size_t end = raw.rfind("</");
    if (end == std::string::npos || end <= pos)
        return {};
    std::size_t first = pos + 1;
    while (first < end && IsSpace(raw[first]))
        ++first;
    raw.resize(end);
    raw.erase(0, first);
    return raw;
}

// VarToStr with an empty default, without the detour through a Variant: the text as it is, or
// empty when absent.
std::string TextAttribute(const XmlElementPtr& element, const char* name) {
    std::optional<std::string> text = element->getAttribute(name);
    return text ? std::move(*text) : std::string();
}

AuMessageTypes MessageTypeFromWord(const std::string& word) {
    const std::string lower = LowerCase(word);
    if (lower == "exe")
        return aumtExe;
    if (lower == "msp")
        return aumtMSP;
    if (lower == "pftw")
        return aumtPFTW;
    return aumtInfo; // "info", and every other word
}

std::unique_ptr<AuFeature> ReadFeature(const XmlElementPtr& element) {
    auto feature = std::make_unique<AuFeature>();
    feature->SetName(TextAttribute(element, "name"));
    feature->SetIsMandatory(VarToBool(element->getAttribute("mandatory"), false));
    feature->SetAllowUserSelection(VarToBool(element->getAttribute("allowUserSelection"), false));
    // An unmarked feature starts chosen.
    feature->SetIsChecked(VarToBool(element->getAttribute("checked"), true));
    feature->SetFeatureType(LowerCase(TextAttribute(element, "type")) == "modified"
                                ? auftModifiedFeature
                                : auftNewFeature);
    return feature;
}

} // namespace

bool frmMessages::ParseIsland(const HtmlDocumentPtr& doc) {
    const HtmlElementPtr element = doc->GetElementById(kIslandId);
    if (!element)
        return false;
    std::optional<std::string> raw = element->RawSource();
    IXmlService* xml = GetPlatform().xml;
    if (!raw || !xml)
        return false;
    std::unique_ptr<IXmlDocument> island = xml->CreateDocument();
    if (!island)
        return false;
    island->setAsync(false);
    island->loadXML(IslandContent(std::move(*raw)));
    if (island->parseErrorCode() != 0)
        return false;
    // With the vendor's keys, an island that is not theirs counts as unreadable.
    const XmlElementPtr root = island->documentElement();
    if (AuAgent* agent = Agent(); agent && !AnswerAccepted(*agent, root, IslandContentToSign))
        return false;
    m_xmlIsland = std::move(island);
    return true;
}

void frmMessages::RecordIslandError() {
    m_lastError = AutomationError{kIslandErrorNumber, "KDAutoUpdate.frmMessages",
                                  "Error while parsing XML-Island."};
}

void frmMessages::ReadIsland() {
    if (!m_xmlIsland || !m_colMessages)
        return;
    const XmlElementPtr root = m_xmlIsland->documentElement();
    if (!root)
        return;
    for (const XmlElementPtr& element : root->selectNodes("Message")) {
        if (!element)
            continue;
        auto message = std::make_unique<AuMessage>();
        message->SetAgentPtr(m_lAgentPtr);
        message->SetID(TextAttribute(element, "id"));
        message->SetName(TextAttribute(element, "name"));
        message->SetVersion(TextAttribute(element, "toVersion"));
        message->SetFileName(TextAttribute(element, "fileName"));
        message->SetProductCode(TextAttribute(element, "forProduct"));
        message->SetKillProcName(TextAttribute(element, "killProcName"));
        message->SetDownloadPath(TextAttribute(element, "downloadPath"));
        message->SetIsCompressed(VarToBool(element->getAttribute("compressed"), false));
        message->SetMustBePaid(VarToBool(element->getAttribute("mustBePaid"), false));
        message->SetCmdLine(TextAttribute(element, "cmdLine"));
        message->SetMessageType(MessageTypeFromWord(TextAttribute(element, "type")));
        if (message->IsCompressed())
            message->SetDestination(TextAttribute(element, "destination"));
        message->SetPackageSha256(TextAttribute(element, "sha256"));
        message->SetPackageSignature(TextAttribute(element, "signature"));

        const std::vector<XmlElementPtr> features = element->selectNodes("Features/Feature");
        message->Features().Reserve(features.size());
        for (const XmlElementPtr& featureElement : features) {
            if (!featureElement)
                continue;
            std::unique_ptr<AuFeature> feature = ReadFeature(featureElement);
            const std::string name = feature->Name();
            message->Features().Add(name, std::move(feature)); // a repeated name is dropped
        }
        const std::string id = message->ID();
        m_colMessages->Add(id, std::move(message)); // a repeated id is dropped
    }
}

} // namespace KDAutoUpdate
