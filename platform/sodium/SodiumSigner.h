#pragma once
// The vendor's side: key pairs and signatures that SodiumSignatureVerifier accepts.
// Keys and signatures are base64 text, as the agent's trust file and the page carry them.

#include <optional>
#include <string>
#include <vector>

namespace KDAutoUpdate {

struct SigningKeyPair {
    std::string publicKey;
    std::string secretKey;
};

class SodiumSigner {
public:
    static std::optional<SigningKeyPair> GenerateKeyPair();
    // The secret key of a key file written by GenerateKeyPair's caller (base64, blanks ignored).
    static std::optional<std::string> ReadSecretKeyFile(const std::string& path);
    static std::optional<std::string> SignData(const std::string& data,
                                               const std::string& secretKey);
    static std::optional<std::string> SignFile(const std::string& path,
                                               const std::string& secretKey);
    // The public half of a secret key.
    static std::optional<std::string> PublicKeyOf(const std::string& secretKey);
};

// Base64 (standard alphabet, padded) through libsodium; nullopt for text that is not base64.
std::string ToBase64(const unsigned char* bytes, std::size_t size);
std::optional<std::vector<unsigned char>> FromBase64(const std::string& text);

} // namespace KDAutoUpdate
