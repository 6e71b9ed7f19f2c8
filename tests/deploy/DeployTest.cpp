// Deploy: download, the user's choice, and what is started or recorded.

#include "DeploymentFixture.h"
#include "deploy/AuFeature.h"
#include "tests/support/XmlText.h"

namespace KDAutoUpdate {
namespace {

std::unique_ptr<AuFeature> Feature(const std::string& name, AuFeatureTypes type, bool mandatory,
                                   bool checked) {
    auto f = std::make_unique<AuFeature>();
    f->SetName(name);
    f->SetFeatureType(type);
    f->SetIsMandatory(mandatory);
    f->SetIsChecked(checked);
    return f;
}

void AnswerAfterDownload(ScriptedRenderer& renderer, int option) {
    renderer.QueueModalAction("dlgAfterDownload", [&renderer, option](ScriptedView&) {
        renderer.Click("dlgAfterDownload", "optInstallAction", option);
    });
    renderer.QueueModalAction("dlgAfterDownload", [&renderer](ScriptedView&) {
        renderer.Click("dlgAfterDownload", "cmdOK");
    });
}

using Deploy = DeploymentTest;

TEST_F(Deploy, PatchCommandOfTheWorkedExample) {
    auto m = Message(aumtMSP);
    m->Features().Add("Core", Feature("Core", auftNewFeature, true, false));
    m->Features().Add("Help", Feature("Help", auftNewFeature, false, false));
    m->Features().Add("Tools", Feature("Tools", auftModifiedFeature, false, true));
    m->Features().Add("Reports", Feature("Reports", auftModifiedFeature, true, true));
    DownloadsSucceed("C:\\Temp\\update.msp");
    renderer.QueueModalAction("dlgAfterDownload",
                              [&](ScriptedView&) { renderer.Close("dlgAfterDownload"); });
    m->Deploy();
    EXPECT_EQ(Attribute("last-update-cmd"), "Msiexec.exe /p C:\\Temp\\update.msp "
                                            "REINSTALLMODE=vomus ADDLOCAL=Core "
                                            "REINSTALL=Tools,Reports");
}

TEST_F(Deploy, PatchWithoutChosenFeaturesHasNoLists) {
    auto m = Message(aumtMSP);
    m->Features().Add("Help", Feature("Help", auftNewFeature, false, false));
    m->Features().Add("Odd", Feature("Odd", static_cast<AuFeatureTypes>(7), true, false));
    DownloadsSucceed("/d/p.msp");
    AnswerAfterDownload(renderer, 1);
    m->Deploy();
    EXPECT_EQ(Attribute("last-update-cmd"),
              "Msiexec.exe /p /d/p.msp REINSTALLMODE=vomus REINSTALL=Odd");
    m->Features().Find("Odd")->SetIsMandatory(false);
    AnswerAfterDownload(renderer, 1);
    m->Deploy();
    EXPECT_EQ(Attribute("last-update-cmd"), "Msiexec.exe /p /d/p.msp REINSTALLMODE=vomus");
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
    ASSERT_EQ(launcher.CommandLines().size(), 1u);
    EXPECT_EQ(launcher.CommandLines()[0], "/dl/setup.sh /quiet /norestart");
    EXPECT_EQ(order, std::vector<std::string>{"start after kill"});
    EXPECT_EQ(Attribute("install-last-update-on-startup"), "0");
    for (const char* gone :
         {"last-update-message-id", "last-update-cmd", "last-update-name", "last-kill-proc-name"})
        EXPECT_FALSE(HasAttribute(gone)) << gone;
}

TEST_F(Deploy, InstallNowWithoutKillNameOrRunningProcessKillsNothing) {
    auto m = Message(aumtPFTW);
    DownloadsSucceed("/dl/setup.sh");
    AnswerAfterDownload(renderer, 0);
    m->Deploy();
    EXPECT_TRUE(tp.utility().KillRequests().empty());
    ASSERT_EQ(launcher.CommandLines().size(), 1u);
    EXPECT_EQ(launcher.CommandLines()[0], "/dl/setup.sh");

    m->SetKillProcName("notrunning");
    AnswerAfterDownload(renderer, 0);
    launcher.SetResult(false); // a command that cannot start still clears the record
    agent->SetProductAttribute("last-update-cmd", "x");
    m->Deploy();
    EXPECT_TRUE(tp.utility().Killed().empty());
    EXPECT_FALSE(HasAttribute("last-update-cmd"));
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
    EXPECT_EQ(XmlText(agent->GetProductNode()->xml()),
              "<product code=\"{AB12}\" install-last-update-on-startup=\"1\" "
              "last-update-message-id=\"M1\" last-update-cmd=\"/dl/setup.sh\" "
              "last-update-name=\"Keldra Studio 5.1\" last-kill-proc-name=\"\" />");
}

TEST_F(Deploy, DoingNothingLeavesTheStoreUnchanged) {
    auto m = Message(aumtExe);
    DownloadsSucceed("/dl/setup.sh");
    AnswerAfterDownload(renderer, 2);
    m->Deploy();
    EXPECT_TRUE(launcher.CommandLines().empty());
    EXPECT_EQ(XmlText(agent->GetProductNode()->xml()), "<product code=\"{AB12}\" />");
}

TEST_F(Deploy, AFailedDownloadEndsWithoutTheChoice) {
    auto m = Message(aumtExe);
    downloads.OnBegin([](FakeDownloader& d) { d.Fail(10); });
    m->Deploy();
    EXPECT_EQ(renderer.Find("dlgAfterDownload"), nullptr);
    EXPECT_TRUE(launcher.CommandLines().empty());
    EXPECT_EQ(XmlText(agent->GetProductNode()->xml()), "<product code=\"{AB12}\" />");
}

TEST_F(Deploy, InformationAndUnknownTypesShowNoDialog) {
    auto info = Message(aumtInfo);
    info->Deploy();
    EXPECT_EQ(desktop.Urls(), std::vector<std::string>{info->DownloadPath()});
    auto odd = Message(static_cast<AuMessageTypes>(9));
    agent->SetProductCode("{NEW}");
    odd->Deploy();
    EXPECT_EQ(downloads.CreatedCount(), 0);
    EXPECT_EQ(XmlText(agent->GetProductNode()->xml()), "<product code=\"{NEW}\" />");
    EXPECT_EQ(desktop.Urls().size(), 1u);
}

TEST_F(Deploy, WithoutProductCodeInstallNowStillStarts) {
    agent->SetProductCode("");
    auto m = Message(aumtExe);
    DownloadsSucceed("/dl/setup.sh");
    AnswerAfterDownload(renderer, 0);
    m->Deploy();
    EXPECT_EQ(launcher.CommandLines().size(), 1u);
}

} // namespace
} // namespace KDAutoUpdate

namespace KDAutoUpdate {
namespace {

TEST_F(DeploymentTest, AnEndingSessionClosesTheChoiceWhereTheCloseBoxIsRefused) {
    auto m = Message(aumtExe);
    DownloadsSucceed("/dl/setup.sh");
    renderer.QueueModalAction("dlgAfterDownload", [](ScriptedView& v) {
        v.Events().OnCloseRequested(UnloadMode::AppWindows);
    });
    m->Deploy();
    EXPECT_EQ(renderer.Find("dlgAfterDownload"), nullptr);
    EXPECT_TRUE(launcher.CommandLines().empty());
    EXPECT_EQ(XmlText(agent->GetProductNode()->xml()), "<product code=\"{AB12}\" />");
}

} // namespace
} // namespace KDAutoUpdate
