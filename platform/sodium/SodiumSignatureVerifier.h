#pragma once
// ISignatureVerifier on libsodium.

#include "platform/SignatureVerifier.h"

namespace KDAutoUpdate {

class SodiumSignatureVerifier : public ISignatureVerifier {
public:
    SodiumSignatureVerifier();
    bool VerifyData(const std::string& data, const std::string& signature,
                    const std::string& publicKey) override;
    bool VerifyFile(const std::string& path, const std::string& signature,
                    const std::string& publicKey) override;
    std::optional<std::string> FileSha256(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;

private:
    bool m_ready = false;
};

} // namespace KDAutoUpdate
