#include "IslandReader.h"

#include <charconv>
#include <iterator>
#include <span>

#include "common/SignedAnswer.h"
#include "common/Unicode.h"
#include "common/modMain.h"

namespace KDAutoUpdate {

namespace {

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
    kAllowDowngrade,
    kMessageFieldCount
};
enum FeatureField {
    kFeatureName,
    kMandatory,
    kAllowUserSelection,
    kChecked,
    kFeatureType,
    kFeatureFieldCount
};
enum DeltaField { kDeltaBase, kDeltaPath, kDeltaSize, kDeltaFieldCount };
constexpr const char* kDeltaFields[] = {"base", "path", "size"};
// The enumerators index the values read.
constexpr auto& kMessageFields = kIslandMessageFields;
constexpr auto& kFeatureFields = kIslandFeatureFields;
static_assert(std::size(kMessageFields) == kMessageFieldCount);
static_assert(std::size(kFeatureFields) == kFeatureFieldCount);
static_assert(std::size(kDeltaFields) == kDeltaFieldCount);

// VarToStr with an empty default, without the detour through a Variant: the text as it is, or
// empty when absent.
std::string Text(const std::optional<std::string_view>& value) {
    return value ? std::string(*value) : std::string();
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

} // namespace

void IslandReader::Visit(IXmlElement& element, std::string_view name, int depth) {
    if (depth == 1) {
        FinishMessage();
        if (name == "Message")
            ReadMessage(element);
    } else if (depth == 2) {
        m_inFeatures = m_message && name == "Features";
        if (m_message && name == "Delta")
            ReadDelta(element);
    } else if (depth == 3 && m_inFeatures && name == "Feature") {
        ReadFeature(element);
    }
}

void IslandReader::ReadMessage(IXmlElement& element) {
    std::optional<std::string_view>(&fields)[kMessageFieldCount] = m_fields;
    element.viewAttributes(kMessageFields, fields, m_scratch);
    auto message = std::make_unique<AuMessage>();
    message->SetAgentPtr(m_agent);
    message->SetID(Text(fields[kId]));
    message->SetName(Text(fields[kName]));
    message->SetVersion(Text(fields[kToVersion]));
    message->SetFileName(Text(fields[kFileName]));
    message->SetProductCode(Text(fields[kForProduct]));
    message->SetKillProcName(Text(fields[kKillProcName]));
    message->SetDownloadPath(Text(fields[kDownloadPath]));
    message->SetIsCompressed(VarToBool(fields[kCompressed], false));
    message->SetMustBePaid(VarToBool(fields[kMustBePaid], false));
    message->SetCmdLine(Text(fields[kCmdLine]));
    message->SetMessageType(MessageTypeFromWord(fields[kMessageType].value_or("")));
    if (message->IsCompressed())
        message->SetDestination(Text(fields[kDestination]));
    message->SetPackageSha256(Text(fields[kSha256]));
    message->SetPackageSignature(Text(fields[kSignature]));
    message->SetAllowDowngrade(VarToBool(fields[kAllowDowngrade], false));
    m_message = message.get();
    m_messages.push_back(std::move(message));
}

void IslandReader::ReadFeature(IXmlElement& element) {
    std::optional<std::string_view>(&fields)[kMessageFieldCount] = m_fields;
    element.viewAttributes(kFeatureFields, std::span(fields, kFeatureFieldCount), m_scratch);
    const std::string_view name = fields[kFeatureName].value_or("");
    KeyedCollection<AuFeature>& features = m_message->Features();
    if (m_featureCount == 0) // room for as many as the message before had, in one block
        features.Reserve(m_lastFeatureCount, m_lastKeyBytes);
    ++m_featureCount;
    m_keyBytes += name.size();
    AuFeature* feature = features.Emplace(name);
    if (!feature)
        return; // a repeated name is dropped
    feature->SetName(std::string(name));
    feature->SetIsMandatory(VarToBool(fields[kMandatory], false));
    feature->SetAllowUserSelection(VarToBool(fields[kAllowUserSelection], false));
    // An unmarked feature starts chosen.
    feature->SetIsChecked(VarToBool(fields[kChecked], true));
    feature->SetFeatureType(EqualsIgnoreCase(fields[kFeatureType].value_or(""), "modified")
                                ? auftModifiedFeature
                                : auftNewFeature);
}

void IslandReader::ReadDelta(IXmlElement& element) {
    std::optional<std::string_view>(&fields)[kMessageFieldCount] = m_fields;
    element.viewAttributes(kDeltaFields, std::span(fields, kDeltaFieldCount), m_scratch);
    PackageDelta delta{Text(fields[kDeltaBase]), Text(fields[kDeltaPath]), 0};
    const std::string_view size = fields[kDeltaSize].value_or("");
    if (std::from_chars(size.data(), size.data() + size.size(), delta.size).ec != std::errc())
        delta.size = 0; // not stated: the patch is fetched all the same
    // A patch without base or address cannot be used; the package then comes whole.
    if (!delta.baseSha256.empty() && !delta.path.empty())
        m_message->AddDelta(std::move(delta));
}

void IslandReader::FinishMessage() {
    if (m_featureCount > 0) {
        m_lastFeatureCount = m_featureCount;
        m_lastKeyBytes = m_keyBytes;
    }
    m_featureCount = 0;
    m_keyBytes = 0;
    m_message = nullptr;
    m_inFeatures = false;
}

std::vector<std::unique_ptr<AuMessage>> IslandReader::Finish() {
    FinishMessage();
    return std::move(m_messages);
}

} // namespace KDAutoUpdate
