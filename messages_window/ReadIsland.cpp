// The service page's data island: found by id, parsed, and read into message and feature
// records that the page's buttons name by key.

#include <cctype>
#include <iterator>
#include <string_view>
#include <vector>

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

// The attributes read from a Message and from a Feature element, in the order services write
// them; the enumerators index the values read.
constexpr const char* kMessageFields[] = {
    "id",           "name",         "toVersion",  "fileName",   "forProduct",
    "killProcName", "downloadPath", "compressed", "mustBePaid", "cmdLine",
    "type",         "destination",  "sha256",     "signature"};
enum MessageField {
    kId,
    kName,
    kToVersion,
    kFileName,
    kForProduct,
    kKillProcName,
    kDownloadPath,
    kCompressed,
    kMustBePaid,
    kCmdLine,
    kMessageType,
    kDestination,
    kSha256,
    kSignature,
    kMessageFieldCount
};
constexpr const char* kFeatureFields[] = {"name", "mandatory", "allowUserSelection", "checked",
                                          "type"};
enum FeatureField {
    kFeatureName,
    kMandatory,
    kAllowUserSelection,
    kChecked,
    kFeatureType,
    kFeatureFieldCount
};
static_assert(std::size(kMessageFields) == kMessageFieldCount);
static_assert(std::size(kFeatureFields) == kFeatureFieldCount);

// VarToStr with an empty default, without the detour through a Variant: the text as it is, or
// empty when absent. The value is taken, not copied.
std::string Take(std::optional<std::string>& value) {
    return value ? std::move(*value) : std::string();
}

std::string_view TextView(const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view();
}

AuMessageTypes MessageTypeFromWord(std::string_view word) {
    if (EqualsIgnoreCase(word, "exe"))
        return aumtExe;
    if (EqualsIgnoreCase(word, "msp"))
        return aumtMSP;
    if (EqualsIgnoreCase(word, "pftw"))
        return aumtPFTW;
    return aumtInfo; // "info", and every other word
}

std::unique_ptr<AuFeature> ReadFeature(std::optional<std::string> (&fields)[kFeatureFieldCount]) {
    auto feature = std::make_unique<AuFeature>();
    feature->SetName(Take(fields[kFeatureName]));
    feature->SetIsMandatory(VarToBool(fields[kMandatory], false));
    feature->SetAllowUserSelection(VarToBool(fields[kAllowUserSelection], false));
    // An unmarked feature starts chosen.
    feature->SetIsChecked(VarToBool(fields[kChecked], true));
    feature->SetFeatureType(EqualsIgnoreCase(TextView(fields[kFeatureType]), "modified")
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
    // Reused from element to element, so that a large page costs no allocations beyond its
    // records.
    std::optional<std::string> fields[kMessageFieldCount];
    std::optional<std::string> featureFields[kFeatureFieldCount];
    std::vector<std::unique_ptr<AuFeature>> features;
    std::vector<std::unique_ptr<AuMessage>> messages;
    static const std::string kMessagePath = "Message";
    static const std::string kFeaturePath = "Features/Feature";
    root->forEachNode(kMessagePath, [&](IXmlElement& element) {
        element.getAttributes(kMessageFields, fields);
        auto message = std::make_unique<AuMessage>();
        message->SetAgentPtr(m_lAgentPtr);
        message->SetID(Take(fields[kId]));
        message->SetName(Take(fields[kName]));
        message->SetVersion(Take(fields[kToVersion]));
        message->SetFileName(Take(fields[kFileName]));
        message->SetProductCode(Take(fields[kForProduct]));
        message->SetKillProcName(Take(fields[kKillProcName]));
        message->SetDownloadPath(Take(fields[kDownloadPath]));
        message->SetIsCompressed(VarToBool(fields[kCompressed], false));
        message->SetMustBePaid(VarToBool(fields[kMustBePaid], false));
        message->SetCmdLine(Take(fields[kCmdLine]));
        message->SetMessageType(MessageTypeFromWord(TextView(fields[kMessageType])));
        if (message->IsCompressed())
            message->SetDestination(Take(fields[kDestination]));
        message->SetPackageSha256(Take(fields[kSha256]));
        message->SetPackageSignature(Take(fields[kSignature]));

        features.clear();
        element.forEachNode(kFeaturePath, [&](IXmlElement& featureElement) {
            featureElement.getAttributes(kFeatureFields, featureFields);
            features.push_back(ReadFeature(featureFields));
        });
        message->Features().Reserve(features.size());
        for (std::unique_ptr<AuFeature>& feature : features) {
            const std::string name = feature->Name();
            message->Features().Add(name, std::move(feature)); // a repeated name is dropped
        }
        messages.push_back(std::move(message));
    });
    // Counted first, so that the collection grows, and indexes, only once.
    m_colMessages->Reserve(m_colMessages->Count() + messages.size());
    for (std::unique_ptr<AuMessage>& message : messages) {
        const std::string id = message->ID();
        m_colMessages->Add(id, std::move(message)); // a repeated id is dropped
    }
}

} // namespace KDAutoUpdate
