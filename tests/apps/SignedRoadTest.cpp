// The vendor's tools and the agent agree: keys from `keygen`, answers and packages signed by
// `serve --signing-key`, a package signed by `sign`.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "AppHarness.h"
#include "platform/sodium/SodiumSignatureVerifier.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

class SignedRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(app.Run({"keygen", Path("keys")}).code, 0);
        publicKey = app.ReadFile("keys/update-signing.pub");
        publicKey.erase(publicKey.find('\n'));
        app.WriteFile("updatekeys.xml", std::string("<updatekeys><product code=\"") + kProduct +
                                            "\"><key ed25519=\"" + publicKey +
                                            "\"/></product></updatekeys>");
    }
    QString Path(const std::string& name) const {
        return QString::fromStdString((app.Folder() / name).string());
    }

    ProgramCopy app;
    std::string publicKey;
};

// A rollback from 5.0.2 to 5.0.1: offered by the catalogue's range, allowed by the signed page.
TEST_F(SignedRoad, ASignedWayBackIsInstalledThoughItIsNotNewer) {
    std::filesystem::create_directories(app.Folder() / "back/packages");
    app.WriteFile("back/packages/back.sh", "#!/bin/sh\n");
    app.WriteFile("back/catalogue.xml", std::string("<catalogue><product code=\"") + kProduct +
                                            "\" name=\"K\"><message id=\"BACK\" name=\"Back\" "
                                            "type=\"exe\" package=\"back.sh\" toVersion=\"5.0.1\" "
                                            "allowDowngrade=\"yes\" minVersion=\"5.0.2\" "
                                            "maxVersion=\"5.0.2\"/></product></catalogue>");
    ServiceProcess service(
        {"--signing-key", Path("keys/update-signing.key"), "--catalogue", Path("back")});
    ASSERT_TRUE(service.Started());
    const std::string out = app.RunShell(
        "BaseURL = " + service.BaseUrl().toStdString() + "\nProductCode = " + kProduct +
        "\nMajorVer = 5\nRevision = 2\nCheckMessages bSilent=True bAsync=False\nDisplayMessages\n"
        "wait Page 20000\nanswer dlgAfterDownload optInstallAction(1) cmdOK\n"
        "ui frmMessages click [auButtonType=actionbutton] [forMessage=BACK]\n");
    EXPECT_NE(out.find("Page shown: 1 messages"), std::string::npos) << out;
    EXPECT_EQ(out.find("nicht neuer"), std::string::npos) << out;
    EXPECT_NE(app.ReadFile("updateinfo.xml").find("last-update-signature=\""), std::string::npos)
        << out;
}

TEST_F(SignedRoad, SignPrintsWhatTheAgentAcceptsAndKeygenKeepsAnExistingKey) {
    app.WriteFile("package.sh", "#!/bin/sh\n");
    const ProgramCopy::Finished signing =
        app.Run({"sign", Path("package.sh"), "--key", Path("keys/update-signing.key")});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(signing.out, m,
                                  std::regex("signature=\"([^\"]+)\" sha256=\"([0-9a-f]+)\"")))
        << signing.out;
    SodiumSignatureVerifier verifier;
    const std::string file = Path("package.sh").toStdString();
    EXPECT_TRUE(verifier.VerifyFile(file, m[1], publicKey));
    EXPECT_EQ(verifier.FileSha256(file), m[2]);
    EXPECT_EQ(app.Run({"keygen", Path("keys")}).code, 1);
    EXPECT_NE(app.ReadFile("keys/update-signing.pub").find(publicKey), std::string::npos);
}

} // namespace
} // namespace KDAutoUpdate
