#include "PackageTrust.h"

#include <charconv>
#include <utility>
#include <vector>

#include "AuMessage.h"
#include "common/IAgent.h"
#include "common/Unicode.h"
#include "common/UpdateKeys.h"
#include "platform/FormView.h"
#include "platform/SignatureVerifier.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kFileAttribute = "last-update-file";
constexpr const char* kSha256Attribute = "last-update-sha256";
constexpr const char* kSignatureAttribute = "last-update-signature";

// "5.1.0" as numbers; nullopt for anything else.
std::optional<std::vector<long>> VersionNumbers(const std::string& text) {
    std::vector<long> numbers;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        long value = 0;
        const char* first = text.data() + start;
        const char* last = text.data() + dot;
        const auto [end, error] = std::from_chars(first, last, value);
        if (first == last || error != std::errc() || end != last)
            return std::nullopt;
        numbers.push_back(value);
        if (dot == text.size())
            return numbers;
        start = dot + 1;
    }
}

void Tell(IAgent& agent, const std::string& text) {
    if (IFormRenderer* forms = agent.GetPlatform().forms)
        forms->MsgBox(text, MsgBoxButtons::OK, MsgBoxIcon::Critical, "");
}

// The file's hash (when one is given) and, with keys, its signature.
bool FileProven(IAgent& agent, const std::string& path, const std::string& sha256,
                const std::string& signature) {
    const UpdateKeys keys = UpdateKeys::ForAgent(agent);
    if (!keys.Required() && sha256.empty())
        return true;
    if (path.empty())
        return false;
    ISignatureVerifier* verifier = agent.GetPlatform().signatures;
    if (!sha256.empty()) {
        const auto actual = verifier ? verifier->FileSha256(path) : std::nullopt;
        if (!actual || LowerCase(*actual) != LowerCase(sha256))
            return false;
    }
    return !keys.Required() || keys.SignedFile(path, signature);
}

void Discard(IAgent& agent, const std::string& path) {
    if (ISignatureVerifier* verifier = agent.GetPlatform().signatures; verifier && !path.empty())
        verifier->RemoveFile(path);
}

} // namespace

bool AcceptOfferedVersion(AuMessage& message) {
    IAgent* agent = message.Agent();
    // A way back is allowed only by the vendor: with keys the page that says so was signed.
    if (!agent || !UpdateKeys::ForAgent(*agent).Required() || message.AllowDowngrade())
        return true;
    const std::vector<long> running{agent->MajorVer(), agent->MinorVer(), agent->Revision()};
    std::optional<std::vector<long>> offered = VersionNumbers(message.Version());
    if (offered) {
        offered->resize(std::max(offered->size(), running.size()));
        std::vector<long> padded = running;
        padded.resize(offered->size());
        if (*offered > padded)
            return true;
    }
    Tell(*agent, "Das Update '" + message.Name() +
                     "' wird nicht installiert: Die angebotene Version '" + message.Version() +
                     "' ist nicht neuer als die installierte Version " +
                     std::to_string(running[0]) + "." + std::to_string(running[1]) + "." +
                     std::to_string(running[2]) + ".");
    return false;
}

bool AcceptDownloadedPackage(AuMessage& message) {
    IAgent* agent = message.Agent();
    if (!agent)
        return false;
    if (FileProven(*agent, message.LocalPath(), message.PackageSha256(),
                   message.PackageSignature()))
        return true;
    Discard(*agent, message.LocalPath());
    Tell(*agent, "Das Update '" + message.Name() +
                     "' wird nicht installiert: Die heruntergeladene Datei ist nicht vom "
                     "Hersteller signiert oder wurde unterwegs verändert. Sie wurde gelöscht.");
    return false;
}

bool PackageProven(AuMessage& message, const std::string& path) {
    IAgent* agent = message.Agent();
    return agent && FileProven(*agent, path, message.PackageSha256(), message.PackageSignature());
}

void RecordPackageProof(const XmlElementPtr& product, const AuMessage& message) {
    if (!product)
        return;
    // The three belong to the update just recorded: a proof left from an earlier one would
    // make the reminder refuse this update's file.
    const bool proven = !message.PackageSha256().empty() || !message.PackageSignature().empty();
    const std::pair<const char*, std::string> proof[] = {
        {kFileAttribute, message.LocalPath()},
        {kSha256Attribute, message.PackageSha256()},
        {kSignatureAttribute, message.PackageSignature()}};
    for (const auto& [name, value] : proof) {
        if (proven && !value.empty())
            product->setAttribute(name, value);
        else
            product->removeAttribute(name);
    }
}

void ForgetPackageProof(IAgent& agent) {
    for (const char* name : {kFileAttribute, kSha256Attribute, kSignatureAttribute})
        agent.SetProductAttribute(name, "");
}

bool AcceptRecordedPackage(IAgent& agent, const std::string& updateName) {
    const std::string path = agent.GetProductAttribute(kFileAttribute);
    if (FileProven(agent, path, agent.GetProductAttribute(kSha256Attribute),
                   agent.GetProductAttribute(kSignatureAttribute)))
        return true;
    Discard(agent, path);
    Tell(agent, "Das Update '" + updateName +
                    "' wird nicht installiert: Die zuvor heruntergeladene Datei ist nicht vom "
                    "Hersteller signiert oder wurde seitdem verändert. Sie wurde gelöscht.");
    return false;
}

} // namespace KDAutoUpdate
