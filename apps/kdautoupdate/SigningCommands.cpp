#include "SigningCommands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sodium/SodiumSignatureVerifier.h"
#include "platform/sodium/SodiumSigner.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kSecretKeyFile = "update-signing.key";
constexpr const char* kPublicKeyFile = "update-signing.pub";

bool WriteText(const std::filesystem::path& path, const std::string& text,
               std::filesystem::perms perms) {
    std::ofstream out(path, std::ios::trunc);
    if (!out)
        return false;
    std::error_code error;
    std::filesystem::permissions(path, perms, error);
    out << text << '\n';
    out.close();
    return out.good() && !error;
}

} // namespace

int RunKeygenCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Usage: kdautoupdate keygen DIR\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const auto secretPath = folder / kSecretKeyFile;
    if (std::filesystem::exists(secretPath, error)) {
        std::fprintf(stderr, "kdautoupdate keygen: %s exists; not overwritten\n",
                     secretPath.c_str());
        return 1;
    }
    const auto pair = SodiumSigner::GenerateKeyPair();
    using std::filesystem::perms;
    if (!pair || !WriteText(secretPath, pair->secretKey, perms::owner_read | perms::owner_write) ||
        !WriteText(folder / kPublicKeyFile, pair->publicKey,
                   perms::owner_read | perms::owner_write | perms::group_read |
                       perms::others_read)) {
        std::fprintf(stderr, "kdautoupdate keygen: cannot write the keys into %s\n",
                     folder.c_str());
        return 1;
    }
    std::printf("secret key: %s (keep it secret: whoever holds it can sign updates)\n"
                "public key: %s\n"
                "updatekeys.xml entry: <key ed25519=\"%s\"/>\n",
                secretPath.c_str(), (folder / kPublicKeyFile).c_str(), pair->publicKey.c_str());
    return 0;
}

int RunSignCommand(int argc, char** argv) {
    if (argc != 5 || std::strcmp(argv[3], "--key") != 0) {
        std::fputs("Usage: kdautoupdate sign FILE --key KEY\n", stderr);
        return 2;
    }
    const auto key = SodiumSigner::ReadSecretKeyFile(argv[4]);
    if (!key) {
        std::fprintf(stderr, "kdautoupdate sign: no signing key in %s\n", argv[4]);
        return 1;
    }
    const auto signature = SodiumSigner::SignFile(argv[2], *key);
    const auto sha256 = SodiumSignatureVerifier().FileSha256(argv[2]);
    if (!signature || !sha256) {
        std::fprintf(stderr, "kdautoupdate sign: cannot read %s\n", argv[2]);
        return 1;
    }
    std::printf("signature=\"%s\" sha256=\"%s\"\n", signature->c_str(), sha256->c_str());
    return 0;
}

} // namespace KDAutoUpdate
