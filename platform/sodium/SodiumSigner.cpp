#include "platform/sodium/SodiumSigner.h"

#include <sodium.h>

#include <fstream>
#include <sstream>

#include "platform/sodium/SodiumStream.h"

namespace KDAutoUpdate {

std::string ToBase64(const unsigned char* bytes, std::size_t size) {
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.find('\0'));
    return text;
}

std::optional<std::vector<unsigned char>> FromBase64(const std::string& text) {
    if (sodium_init() < 0)
        return std::nullopt;
    std::vector<unsigned char> bytes(text.size() / 4 * 3 + 3);
    std::size_t size = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &size,
                          &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

namespace {

std::optional<std::vector<unsigned char>> SecretKeyBytes(const std::string& secretKey) {
    auto bytes = FromBase64(secretKey);
    if (!bytes || bytes->size() != crypto_sign_SECRETKEYBYTES)
        return std::nullopt;
    return bytes;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::optional<SigningKeyPair> SodiumSigner::GenerateKeyPair() {
    if (sodium_init() < 0)
        return std::nullopt;
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    SigningKeyPair pair{ToBase64(pk, sizeof pk), ToBase64(sk, sizeof sk)};
    sodium_memzero(sk, sizeof sk);
    return pair;
}

std::optional<std::string> SodiumSigner::ReadSecretKeyFile(const std::string& path) {
    std::ifstream in(FilePath(path));
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    const std::string key = Trimmed(text.str());
    if (!SecretKeyBytes(key))
        return std::nullopt;
    return key;
}

std::optional<std::string> SodiumSigner::SignData(const std::string& data,
                                                  const std::string& secretKey) {
    const auto sk = SecretKeyBytes(secretKey);
    if (!sk)
        return std::nullopt;
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(data.data()),
                         data.size(), sk->data());
    return ToBase64(sig, sizeof sig);
}

std::optional<std::string> SodiumSigner::SignFile(const std::string& path,
                                                  const std::string& secretKey) {
    const auto sk = SecretKeyBytes(secretKey);
    if (!sk)
        return std::nullopt;
    crypto_sign_state state;
    crypto_sign_init(&state);
    if (!ForEachChunk(path, [&](const unsigned char* bytes, std::size_t size) {
            crypto_sign_update(&state, bytes, size);
        }))
        return std::nullopt;
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_final_create(&state, sig, nullptr, sk->data());
    return ToBase64(sig, sizeof sig);
}

std::optional<std::string> SodiumSigner::PublicKeyOf(const std::string& secretKey) {
    const auto sk = SecretKeyBytes(secretKey);
    if (!sk)
        return std::nullopt;
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_sk_to_pk(pk, sk->data());
    return ToBase64(pk, sizeof pk);
}

} // namespace KDAutoUpdate
