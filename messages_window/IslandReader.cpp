#include "IslandReader.h"

#include "agent/Unicode.h"
#include "agent/modMain.h"

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
static_assert(std::size(IslandReader::kMessageFields) == kMessageFieldCount);
static_assert(std::size(IslandReader::kFeatureFields) == kFeatureFieldCount);

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
    m_message = message.get();
    m_messages.push_back(std::move(message));
}

void IslandReader::ReadFeature(IXmlElement& element) {
    std::optional<std::string_view>(&fields)[kMessageFieldCount] = m_fields;
    element.viewAttributes(kFeatureFields, std::span(fields, kFeatureFieldCount), m_scratch);
    m_features.push_back(FeatureRead{
        Text(fields[kFeatureName]),
        VarToBool(fields[kMandatory], false),
        VarToBool(fields[kAllowUserSelection], false),
        VarToBool(fields[kChecked], true), // an unmarked feature starts chosen
        EqualsIgnoreCase(fields[kFeatureType].value_or(""), "modified") ? auftModifiedFeature
                                                                        : auftNewFeature,
    });
}

void IslandReader::FinishMessage() {
    if (m_message && !m_features.empty()) {
        std::size_t keyBytes = 0;
        for (const FeatureRead& read : m_features)
            keyBytes += read.name.size();
        KeyedCollection<AuFeature>& features = m_message->Features();
        features.Reserve(m_features.size(), keyBytes);
        for (FeatureRead& read : m_features) {
            AuFeature* feature = features.Emplace(read.name); // a repeated name is dropped
            if (!feature)
                continue;
            feature->SetName(std::move(read.name));
            feature->SetIsMandatory(read.mandatory);
            feature->SetAllowUserSelection(read.allowUserSelection);
            feature->SetIsChecked(read.checked);
            feature->SetFeatureType(read.type);
        }
    }
    m_features.clear();
    m_message = nullptr;
    m_inFeatures = false;
}

std::vector<std::unique_ptr<AuMessage>> IslandReader::Finish() {
    FinishMessage();
    return std::move(m_messages);
}

} // namespace KDAutoUpdate
