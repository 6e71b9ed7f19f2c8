// Deploy: download, the user's choice, and what is started or recorded.

#include "DeploymentFixture.h"
#include "deploy/AuFeature.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

class Deploy : public DeploymentTest {
protected:
    void AnswerAfterDownload(int option) {
        renderer.QueueModalAction("dlgAfterDownload", [this, option](ScriptedView&) {
            renderer.Click("dlgAfterDownload", "optInstallAction", option);
            renderer.Click("dlgAfterDownload", "cmdOK");
        });
    }
    std::string Product() { return XmlText(agent->GetProductNode()->xml()); }
};

TEST_F(Deploy, PatchCommandListsTheInstalledFeaturesByKind) {
    // Name, type, mandatory, checked.
    using Feature = std::tuple<const char*, int, bool, bool>;
    const struct {
        std::vector<Feature> features;
        const char* lists;
    } cases[] = {
        {{{"Core", auftNewFeature, true, false},
          {"Help", auftNewFeature, false, false},
          {"Tools", auftModifiedFeature, false, true},
          {"Reports", auftModifiedFeature, true, true}},
         " ADDLOCAL=Core REINSTALL=Tools,Reports"},
        {{{"Help", auftNewFeature, false, false}, {"Odd", 7, true, false}}, " REINSTALL=Odd"},
        {{{"Help", auftNewFeature, false, false}, {"Odd", 7, false, false}}, ""},
    };
    for (const auto& c : cases) {
        auto m = Message(aumtMSP);
        for (const auto& [name, type, mandatory, checked] : c.features) {
            auto feature = std::make_unique<AuFeature>();
            feature->SetName(name);
            feature->SetFeatureType(static_cast<AuFeatureTypes>(type));
            feature->SetIsMandatory(mandatory);
            feature->SetIsChecked(checked);
            m->Features().Add(name, std::move(feature));
        }
        DownloadsSucceed("C:\\Temp\\update.msp");
        AnswerAfterDownload(1);
        m->Deploy();
        EXPECT_EQ(Attribute("last-update-cmd"),
                  std::string("Msiexec.exe /p C:\\Temp\\update.msp REINSTALLMODE=vomus") + c.lists);
    }
}

TEST_F(Deploy, InstallNowEndsTheNamedProcessFirstThenStartsAndClearsTheRecord) {
    agent->SetProductAttribute("last-update-cmd", "old");
    agent->SetProductAttribute("last-update-name", "old");
    auto m = Message(aumtExe, "/quiet /norestart");
    m->SetKillProcName("keldra.exe");
    tp.utility().AddProcess("keldra");
    std::vector<std::string> order;
    launcher.OnStart([&](const std::string&) {
        order.push_back(tp.utility().Killed().empty() ? "start before kill" : "start after kill");
    });
    DownloadsSucceed("/dl/setup.sh");
    renderer.QueueModalAction("dlgAfterDownload",
                              [&](ScriptedView&) { renderer.PressEnter("dlgAfterDownload"); });
    m->Deploy();
    EXPECT_EQ(launcher.CommandLines(), std::vector<std::string>{"/dl/setup.sh /quiet /norestart"});
    EXPECT_EQ(order, std::vector<std::string>{"start after kill"});
    EXPECT_EQ(Product(), "<product code=\"{AB12}\" install-last-update-on-startup=\"0\" />");
}

TEST_F(Deploy, InstallNowWithoutKillNameOrRunningProcessOrProductCodeKillsNothing) {
    auto m = Message(aumtPFTW);
    DownloadsSucceed("/dl/setup.sh");
    AnswerAfterDownload(0);
    m->Deploy();
    EXPECT_EQ(launcher.CommandLines(), std::vector<std::string>{"/dl/setup.sh"});

    m->SetKillProcName("notrunning");
    AnswerAfterDownload(0);
    launcher.SetResult(false); // a command that cannot start still clears the record
    agent->SetProductAttribute("last-update-cmd", "x");
    m->Deploy();
    EXPECT_FALSE(HasAttribute("last-update-cmd"));

    agent->SetProductCode("");
    AnswerAfterDownload(0);
    m->Deploy();
    EXPECT_EQ(launcher.CommandLines().size(), 3u);
    EXPECT_TRUE(tp.utility().KillRequests().empty());
}

TEST_F(Deploy, TheCloseBoxRecordsTheUpdateForTheNextStartWithEmptyAttributesKept) {
    auto m = Message(aumtExe);
    DownloadsSucceed("/dl/setup.sh");
    renderer.QueueModalAction("dlgAfterDownload", [&](ScriptedView&) {
        renderer.Click("dlgAfterDownload", "optInstallAction", 2);
        renderer.Close("dlgAfterDownload");
    });
    m->Deploy();
    EXPECT_TRUE(launcher.CommandLines().empty());
    EXPECT_EQ(Product(), "<product code=\"{AB12}\" install-last-update-on-startup=\"1\" "
                         "last-update-message-id=\"M1\" last-update-cmd=\"/dl/setup.sh\" "
                         "last-update-name=\"Keldra Studio 5.1\" last-kill-proc-name=\"\" />");
}

// Doing nothing, the ending session (where the close box is refused), a failed or refused
// download and an unknown type: nothing starts, nothing is recorded.
TEST_F(Deploy, WaysThatEndWithoutInstallingLeaveTheStoreUnchanged) {
    const std::function<void()> cases[] = {
        [&] { AnswerAfterDownload(2); },
        [&] {
            renderer.QueueModalAction("dlgAfterDownload", [](ScriptedView& v) {
                v.Events().OnCloseRequested(UnloadMode::AppWindows);
            });
        },
        [&] { downloads.OnBegin([](FakeDownloader& d) { d.Fail(10); }); },
        [&] { downloads.SetBeginResult(false); }, // last: the control stays refusing
    };
    for (const auto& setUp : cases) {
        DownloadsSucceed("/dl/setup.sh");
        setUp();
        Message(aumtExe, "--quiet")->Deploy();
        EXPECT_EQ(renderer.Find("dlgAfterDownload"), nullptr);
        EXPECT_EQ(renderer.Find("dlgDownload"), nullptr);
        EXPECT_TRUE(launcher.CommandLines().empty());
        EXPECT_EQ(Product(), "<product code=\"{AB12}\" />");
        renderer.ClearQueuedActions();
    }
    EXPECT_EQ(boxes.shown.size(), 2u) << "the failed and the refused download say so";

    agent->SetProductCode("{NEW}");
    const int created = downloads.CreatedCount();
    Message(static_cast<AuMessageTypes>(9))->Deploy();
    EXPECT_EQ(downloads.CreatedCount(), created);
    EXPECT_EQ(Product(), "<product code=\"{NEW}\" />");
    EXPECT_TRUE(desktop.Urls().empty());
}

} // namespace
} // namespace KDAutoUpdate
