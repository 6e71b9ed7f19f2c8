// What a Windows host's platform brings beyond the basics: the signature checks of signed
// products (libsodium built for Windows) and the desktop's download of an address.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Desktop.h"
#include "platform/SignatureVerifier.h"
#include "platform/sodium/SodiumSigner.h"
#include "platform/win32/Win32Platform.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {
namespace {

namespace fs = std::filesystem;

TEST(Win32PlatformServices, SignaturesAndHashesAreCheckedAndTheDesktopTakesAddresses) {
    Win32Platform host;
    ASSERT_NE(host.platform().desktop, nullptr);
    EXPECT_FALSE(host.platform().desktop->OpenUrl("file:///C:/Windows/notepad.exe"));
    ISignatureVerifier* signatures = host.platform().signatures;
    ASSERT_NE(signatures, nullptr);

    const fs::path folder = TestPlatform::MakeTempFolder("win32-signatures");
    ASSERT_FALSE(folder.empty());
    // A name outside the ANSI code page: the agent's paths are UTF-8.
    const fs::path file = folder / fs::path(u8"paket-\u00e4\u0436.msp");
    std::ofstream(file, std::ios::binary) << "abc";
    const std::string path = reinterpret_cast<const char*>(file.u8string().c_str());
    // The SHA-256 test vector of "abc".
    EXPECT_EQ(signatures->FileSha256(path),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    const auto pair = SodiumSigner::GenerateKeyPair();
    ASSERT_TRUE(pair);
    const auto fileSignature = SodiumSigner::SignFile(path, pair->secretKey);
    ASSERT_TRUE(fileSignature);
    EXPECT_TRUE(signatures->VerifyFile(path, *fileSignature, pair->publicKey));
    const auto dataSignature = SodiumSigner::SignData("<answer/>", pair->secretKey);
    ASSERT_TRUE(dataSignature);
    EXPECT_TRUE(signatures->VerifyData("<answer/>", *dataSignature, pair->publicKey));
    EXPECT_FALSE(signatures->VerifyData("<answer />", *dataSignature, pair->publicKey));
    EXPECT_FALSE(signatures->VerifyFile(path, *dataSignature, pair->publicKey));

    EXPECT_TRUE(signatures->RemoveFile(path));
    EXPECT_FALSE(fs::exists(file));
    fs::remove_all(folder);
}

} // namespace
} // namespace KDAutoUpdate
