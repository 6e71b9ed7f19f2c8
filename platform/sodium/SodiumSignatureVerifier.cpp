#include "platform/sodium/SodiumSignatureVerifier.h"

#include <sodium.h>

#include <filesystem>

#include "platform/sodium/SodiumSigner.h"
#include "platform/sodium/SodiumStream.h"

namespace KDAutoUpdate {

namespace {

// A decoded key and signature of exactly the sizes Ed25519 uses, or nothing.
struct KeyAndSignature {
    std::vector<unsigned char> key;
    std::vector<unsigned char> signature;
};

std::optional<KeyAndSignature> Decode(const std::string& signature, const std::string& publicKey) {
    auto key = FromBase64(publicKey);
    auto sig = FromBase64(signature);
    if (!key || !sig || key->size() != crypto_sign_PUBLICKEYBYTES ||
        sig->size() != crypto_sign_BYTES)
        return std::nullopt;
    return KeyAndSignature{std::move(*key), std::move(*sig)};
}

} // namespace

SodiumSignatureVerifier::SodiumSignatureVerifier() : m_ready(sodium_init() >= 0) {}

bool SodiumSignatureVerifier::VerifyData(const std::string& data, const std::string& signature,
                                         const std::string& publicKey) {
    const auto decoded = Decode(signature, publicKey);
    if (!m_ready || !decoded)
        return false;
    return crypto_sign_verify_detached(decoded->signature.data(),
                                       reinterpret_cast<const unsigned char*>(data.data()),
                                       data.size(), decoded->key.data()) == 0;
}

bool SodiumSignatureVerifier::VerifyFile(const std::string& path, const std::string& signature,
                                         const std::string& publicKey) {
    const auto decoded = Decode(signature, publicKey);
    if (!m_ready || !decoded)
        return false;
    crypto_sign_state state;
    crypto_sign_init(&state);
    if (!ForEachChunk(path, [&](const unsigned char* bytes, std::size_t size) {
            crypto_sign_update(&state, bytes, size);
        }))
        return false;
    return crypto_sign_final_verify(&state, decoded->signature.data(), decoded->key.data()) == 0;
}

std::optional<std::string> SodiumSignatureVerifier::FileSha256(const std::string& path) {
    if (!m_ready)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    if (!ForEachChunk(path, [&](const unsigned char* bytes, std::size_t size) {
            crypto_hash_sha256_update(&state, bytes, size);
        }))
        return std::nullopt;
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, hash);
    char hex[crypto_hash_sha256_BYTES * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return std::string(hex);
}

bool SodiumSignatureVerifier::RemoveFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = FilePath(path);
    std::filesystem::remove(file, error);
    return !std::filesystem::exists(file, error);
}

} // namespace KDAutoUpdate
