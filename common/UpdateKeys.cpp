#include "UpdateKeys.h"

#include "common/IAgent.h"
#include "Unicode.h"
#include "modMain.h"
#include "platform/SignatureVerifier.h"

namespace KDAutoUpdate {

UpdateKeys UpdateKeys::ForAgent(IAgent& agent) {
    UpdateKeys keys;
    Platform& platform = agent.GetPlatform();
    keys.m_verifier = platform.signatures;
    if (!platform.xml || agent.ProductCode().empty())
        return keys;
    const std::unique_ptr<IXmlDocument> file = platform.xml->CreateDocument();
    if (!file)
        return keys;
    file->setAsync(false);
    file->load(agent.ProgramFilePath(kTrustFileName));
    const XmlElementPtr root = file->parseErrorCode() == 0 ? file->documentElement() : nullptr;
    if (!root)
        return keys;
    const std::string wanted = LowerCase(agent.ProductCode());
    for (const XmlElementPtr& product : root->selectNodes("product")) {
        if (LowerCase(NormalizeGuid(product->getAttribute("code").value_or(""))) != wanted)
            continue;
        for (const XmlElementPtr& key : product->selectNodes("key")) {
            const std::string value = key->getAttribute("ed25519").value_or("");
            if (!value.empty())
                keys.m_keys.push_back(value);
        }
    }
    return keys;
}

bool UpdateKeys::SignedData(const std::string& data, const std::string& signature) const {
    if (!m_verifier || signature.empty())
        return false;
    for (const std::string& key : m_keys)
        if (m_verifier->VerifyData(data, signature, key))
            return true;
    return false;
}

bool UpdateKeys::SignedFile(const std::string& path, const std::string& signature) const {
    if (!m_verifier || signature.empty())
        return false;
    for (const std::string& key : m_keys)
        if (m_verifier->VerifyFile(path, signature, key))
            return true;
    return false;
}

} // namespace KDAutoUpdate
