#pragma once
// The vendor's public keys for one product, from the trust file "updatekeys.xml" beside the
// program:
//
//   <updatekeys>
//     <product code="{6F1B3C2A-...}"><key ed25519="BASE64"/><key ed25519="BASE64"/></product>
//   </updatekeys>
//
// Without the file, or without keys for the product, answers and packages are taken as they
// come. With keys, an answer or package counts only when one of them signed it.

#include <string>
#include <vector>

namespace KDAutoUpdate {

class IAgent;
class ISignatureVerifier;

constexpr const char* kTrustFileName = "updatekeys.xml";

class UpdateKeys {
public:
    // The keys for the agent's current product; read anew on every call, so a changed trust
    // file counts at once.
    static UpdateKeys ForAgent(IAgent& agent);

    bool Required() const { return !m_keys.empty(); }
    // Whether one of the keys made `signature` over `data`; false without a verifier.
    bool SignedData(const std::string& data, const std::string& signature) const;
    // The same over a file's bytes.
    bool SignedFile(const std::string& path, const std::string& signature) const;

private:
    ISignatureVerifier* m_verifier = nullptr;
    std::vector<std::string> m_keys;
};

} // namespace KDAutoUpdate
