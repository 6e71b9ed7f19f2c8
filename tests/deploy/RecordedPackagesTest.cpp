// The download before a deployment leaves alone what recorded updates still have to start.

#include <algorithm>

#include "DeploymentFixture.h"

namespace KDAutoUpdate {
namespace {

class RecordedPackages : public DeploymentTest {
protected:
    bool Kept(const std::vector<std::string>& kept, const std::string& path) {
        return std::find(kept.begin(), kept.end(), path) != kept.end();
    }
};

TEST_F(RecordedPackages, EveryProductsRecordedFilesAreKeptByTheNextDownload) {
    // Another product's agent in the same program recorded a patch and saved it on its end;
    // this agent read the store before and knows it only from the disk.
    {
        AuAgent other(tp.platform());
        other.SetProductCode("{CD34}");
        other.SetProductAttribute("install-last-update-on-startup", "1");
        other.SetProductAttribute("last-update-cmd",
                                  "Msiexec.exe /p /dl/patch.msp REINSTALLMODE=vomus ADDLOCAL=Core");
        other.SetProductAttribute("last-update-file", "/dl/patch.msp");
    }
    agent->SetProductAttribute("install-last-update-on-startup", "1");
    agent->SetProductAttribute("last-update-cmd", "/dl/setup.sh --quiet");
    agent->SetProductAttribute("last-update-file", "/dl/signed.sh");

    DownloadsSucceed("/dl/next.sh");
    renderer.QueueModalAction("dlgAfterDownload", [this](ScriptedView&) {
        renderer.Click("dlgAfterDownload", "optInstallAction", 2);
        renderer.Click("dlgAfterDownload", "cmdOK");
    });
    Message(aumtExe)->Deploy();

    ASSERT_EQ(downloads.Log().begins.size(), 1u);
    const std::vector<std::string>& kept = downloads.Log().begins[0].kept;
    for (const char* path : {"/dl/patch.msp", "/dl/setup.sh", "/dl/signed.sh"})
        EXPECT_TRUE(Kept(kept, path)) << path;
    for (const char* word : {"Msiexec.exe", "--quiet", "REINSTALLMODE=vomus", "ADDLOCAL=Core"})
        EXPECT_FALSE(Kept(kept, word)) << word;
    // Its own packages are counted and aged apart from the other product's.
    EXPECT_EQ(downloads.Log().begins[0].product, agent->ProductCode());
}

} // namespace
} // namespace KDAutoUpdate
