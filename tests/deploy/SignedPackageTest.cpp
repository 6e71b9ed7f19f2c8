// Signed packages: with the vendor's keys in the trust file only their packages, newer than
// the running version, are installed or recorded, and the reminder checks the file again.

#include <filesystem>
#include <tuple>

#include "DeploymentFixture.h"
#include "store/AuProductInfo.h"
#include "tests/support/VendorKeys.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kBytes = "#!/bin/sh\necho 5.1\n";

class SignedPackage : public DeploymentTest {
protected:
    SignedPackage() { agent->SetMajorVer(5); } // running 5.0.0

    // The package downloaded to the program folder; its message offers `version`.
    std::unique_ptr<AuMessage> Offer(const std::string& version = "5.1.0") {
        tp.WriteProgramFile("update.sh", kBytes);
        DownloadsSucceed(path);
        auto m = Message(aumtExe);
        m->SetVersion(version);
        m->SetPackageSignature(vendor.SignFile(path));
        return m;
    }
    void Choose(bool installNow) {
        renderer.QueueModalAction("dlgAfterDownload", [this, installNow](ScriptedView&) {
            installNow ? renderer.PressEnter("dlgAfterDownload")
                       : renderer.Close("dlgAfterDownload");
        });
    }
    bool Refused() {
        return !std::filesystem::exists(path) && launcher.CommandLines().empty() &&
               !HasAttribute("last-update-cmd") && boxes.shown.size() == 1 &&
               boxes.shown[0].text.find("wird nicht installiert") != std::string::npos;
    }

    VendorKeys vendor;
    const std::string path = tp.ProgramFile("update.sh");
};

// What happens to the package after download, before the user's choice.
enum class Change { None, OneByte, NoSignature, NotBase64, AnotherKey, WrongSha256, RightSha256 };

// Whether the product has keys, what happens to the package after download, and whether it
// installs. Without keys only a given SHA-256 is checked.
struct Signed : SignedPackage, ::testing::WithParamInterface<std::tuple<bool, Change, bool>> {};

TEST_P(Signed, OnlyTheVendorsSignatureOverTheUnchangedBytesInstalls) {
    const auto [keys, change, installs] = GetParam();
    vendor.Trust(tp, keys ? "{AB12}" : "{OTHER}");
    auto m = Offer(keys ? "5.1.0" : "1.0");
    if (!keys)
        m->SetPackageSignature("");
    switch (change) {
    case Change::OneByte:
        tp.WriteProgramFile("update.sh", "#!/bin/sh\necho 5.2\n");
        break;
    case Change::NoSignature:
        m->SetPackageSignature("");
        break;
    case Change::NotBase64:
        m->SetPackageSignature("%%");
        break;
    case Change::AnotherKey:
        m->SetPackageSignature(VendorKeys().SignFile(path));
        break;
    case Change::WrongSha256:
        m->SetPackageSha256(std::string(64, 'a'));
        break;
    case Change::RightSha256:
        m->SetPackageSha256(*tp.platform().signatures->FileSha256(path));
        break;
    case Change::None:
        break;
    }
    Choose(true);
    m->Deploy();
    if (installs)
        EXPECT_EQ(launcher.CommandLines().size(), 1u);
    else
        EXPECT_TRUE(Refused());
}
INSTANTIATE_TEST_SUITE_P(Table, Signed,
                         ::testing::Values(std::tuple{true, Change::None, true},
                                           std::tuple{true, Change::OneByte, false},
                                           std::tuple{true, Change::NoSignature, false},
                                           std::tuple{true, Change::NotBase64, false},
                                           std::tuple{true, Change::AnotherKey, false},
                                           std::tuple{true, Change::WrongSha256, false},
                                           std::tuple{false, Change::None, true},
                                           std::tuple{false, Change::RightSha256, true},
                                           std::tuple{false, Change::WrongSha256, false}));

// The offered version and whether the vendor allows a way back.
struct Versions : SignedPackage,
                  ::testing::WithParamInterface<std::tuple<const char*, bool, bool>> {};
TEST_P(Versions, OnlyANewerVersionOrAWayBackTheVendorSignedIsInstalled) {
    const auto [version, downgrade, installs] = GetParam();
    vendor.Trust(tp, "{AB12}");
    auto m = Offer(version);
    m->SetAllowDowngrade(downgrade);
    Choose(true);
    m->Deploy();
    EXPECT_EQ(downloads.CreatedCount(), installs ? 1 : 0);
    EXPECT_EQ(launcher.CommandLines().size(), installs ? 1u : 0u);
    EXPECT_EQ(boxes.shown.size(), installs ? 0u : 1u);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Versions,
    ::testing::Values(std::tuple{"5.0.1", false, true}, std::tuple{"6", false, true},
                      std::tuple{"5.0.0", false, false}, std::tuple{"5", false, false},
                      std::tuple{"4.9.9", false, false}, std::tuple{"", false, false},
                      std::tuple{"5.1.x", false, false}, std::tuple{"4.9.9", true, true}));

struct Reminder : SignedPackage, ::testing::WithParamInterface<bool> {};
TEST_P(Reminder, ChecksTheRecordedFileAgainBeforeStartingIt) {
    const bool changed = GetParam();
    vendor.Trust(tp, "{AB12}");
    auto m = Offer();
    Choose(false);
    m->Deploy();
    ASSERT_EQ(Attribute("install-last-update-on-startup"), "1");
    if (changed)
        tp.WriteProgramFile("update.sh", "#!/bin/sh\nrm -rf ~\n");
    renderer.QueueModalAction("dlgInstallLastUpdate", [this](ScriptedView&) {
        renderer.Click("dlgInstallLastUpdate", "cmdYes");
    });
    EXPECT_EQ(agent->CheckInstallableUpdates(), !changed);
    EXPECT_EQ(launcher.CommandLines().size(), changed ? 0u : 1u);
    EXPECT_EQ(std::filesystem::exists(path), !changed);
    EXPECT_EQ(boxes.shown.size(), changed ? 1u : 0u);
    EXPECT_EQ(agent->GetLastInstallableUpdate(), nullptr);
}
INSTANTIATE_TEST_SUITE_P(Table, Reminder, ::testing::Bool());

// Installing now ends what was recorded for the next start, and its proof with it.
TEST_F(SignedPackage, InstallingNowDropsTheProofOfTheRecordBefore) {
    vendor.Trust(tp, "{AB12}");
    auto first = Offer();
    Choose(false);
    first->Deploy();
    ASSERT_TRUE(HasAttribute("last-update-signature"));
    auto second = Offer("6");
    Choose(true);
    second->Deploy();
    for (const char* name : {"last-update-file", "last-update-sha256", "last-update-signature"})
        EXPECT_FALSE(HasAttribute(name)) << name;
}

// An update recorded without proof after one with proof: the earlier file's hash must not stay
// behind, or the reminder would hold the new file against it and refuse it.
TEST_F(SignedPackage, ARecordWithoutProofDropsTheProofOfTheRecordBefore) {
    vendor.Trust(tp, "{OTHER}"); // no keys for this product: only a given hash is checked
    auto first = Offer("1.0");
    first->SetPackageSignature("");
    first->SetPackageSha256(*tp.platform().signatures->FileSha256(path));
    Choose(false);
    first->Deploy();
    ASSERT_TRUE(HasAttribute("last-update-sha256"));

    tp.WriteProgramFile("update.sh", "#!/bin/sh\necho 5.2\n");
    auto second = Message(aumtExe);
    second->SetVersion("1.1");
    second->SetName("Second");
    Choose(false);
    second->Deploy();
    for (const char* name : {"last-update-file", "last-update-sha256", "last-update-signature"})
        EXPECT_FALSE(HasAttribute(name)) << name;

    renderer.QueueModalAction("dlgInstallLastUpdate", [this](ScriptedView&) {
        renderer.Click("dlgInstallLastUpdate", "cmdYes");
    });
    EXPECT_TRUE(agent->CheckInstallableUpdates());
    EXPECT_EQ(launcher.CommandLines().size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
} // namespace KDAutoUpdate
