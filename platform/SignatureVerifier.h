#pragma once
// Checks that data and downloaded files come from the vendor: Ed25519 signatures by a public
// key, SHA-256 hashes. Keys and signatures travel as base64 text, hashes as lower-case hex.
// Nothing here throws; whatever cannot be read or decoded fails the check.

#include <optional>
#include <string>

namespace KDAutoUpdate {

class ISignatureVerifier {
public:
    virtual ~ISignatureVerifier() = default;
    // Whether `signature` is an Ed25519 signature of `data` by `publicKey`.
    virtual bool VerifyData(const std::string& data, const std::string& signature,
                            const std::string& publicKey) = 0;
    // Whether `signature` is an Ed25519ph signature (the streamed form) of the file's bytes.
    virtual bool VerifyFile(const std::string& path, const std::string& signature,
                            const std::string& publicKey) = 0;
    // SHA-256 of the file's bytes; nullopt when it cannot be read.
    virtual std::optional<std::string> FileSha256(const std::string& path) = 0;
    // Removes a refused file; true when it is gone afterwards.
    virtual bool RemoveFile(const std::string& path) = 0;
};

} // namespace KDAutoUpdate
