// The whole road through the shell against the embedded service: check, notification, page,
// feature choice, download, after-download choice, installer or pending update, reminder.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <fstream>
#include <sstream>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kProduct = "6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14";

class ShellRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Started());
        const QString folder = QString::fromStdString(app.Folder().string());
        record = app.Folder() / "installs.log";
        app.SetEnv("KDAU_INSTALL_RECORD", QString::fromStdString(record.string()));
        app.SetEnv("XDG_CACHE_HOME", folder + "/cache");
    }

    std::string Header() const {
        return "BaseURL = " + service.BaseUrl().toStdString() + "\nProductCode = " + kProduct +
               "\nMajorVer = 5\nRevision = 2\n";
    }
    // The path scripts reach the page through: check, Yes, page in front.
    std::string ToThePage() const {
        return Header() +
               "CheckMessages\nwait NewMessages 20000\nui dlgCheckMessages.cmdYes click\n"
               "wait Page 20000\n";
    }
    // The installer runs detached: wait for its record (bounded).
    std::string InstallRecord() const {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            std::ifstream in(record);
            std::stringstream s;
            s << in.rdbuf();
            if (!s.str().empty())
                return s.str();
            QThread::msleep(20);
        }
        return {};
    }

    bool InstallRecordIsEmpty() const { return !std::filesystem::exists(record); }

    ServiceProcess service;
    ProgramCopy app;
    std::filesystem::path record;
};

TEST_F(ShellRoad, FromCheckToAnInstallerStartedNow) {
    const std::string output = app.RunShell(
        ToThePage() + "answer dlgAfterDownload cmdOK\n"
                      "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-510]\n"
                      "ui frmMessages close\nwait ProcessCompleted 20000\n"
                      "GetLastInstallableUpdate\n");
    EXPECT_NE(output.find("Page shown: 3 messages\nForm dlgDownload shown modal\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("  progress: 100% von "), std::string::npos) << output;
    EXPECT_NE(output.find("Form dlgAfterDownload shown modal"), std::string::npos) << output;
    EXPECT_NE(output.find("Event ProcessCompleted\nGetLastInstallableUpdate -> Nothing\n"),
              std::string::npos)
        << output;
    const std::string ran = InstallRecord();
    EXPECT_NE(ran.find("/quiet /norestart"), std::string::npos) << ran;
    const std::string store = app.ReadFile("updateinfo.xml");
    EXPECT_NE(store.find("install-last-update-on-startup=\"0\""), std::string::npos) << store;
    EXPECT_EQ(store.find("last-update-cmd"), std::string::npos) << store;
    const QStringList requests = service.Requests();
    EXPECT_TRUE(requests.filter("/packages/KeldraStudio-Update-5.1.0.sh").size() == 1)
        << requests.join('\n').toStdString();
}

TEST_F(ShellRoad, InstallAtNextStartThenTheReminderStartsIt) {
    const std::string first = app.RunShell(
        ToThePage() + "answer dlgAfterDownload optInstallAction(1) cmdOK\n"
                      "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-510]\n"
                      "ui frmMessages close\nwait ProcessCompleted 20000\n");
    EXPECT_NE(first.find("Form dlgAfterDownload unloaded"), std::string::npos) << first;
    const std::string store = app.ReadFile("updateinfo.xml");
    for (const char* attribute :
         {"install-last-update-on-startup=\"1\"", "last-update-message-id=\"KS-2024-510\"",
          "last-update-name=\"Keldra Studio 5.1.0\"", "last-kill-proc-name=\"KeldraStudio\"",
          "KeldraStudio-Update-5.1.0.sh /quiet /norestart\""})
        EXPECT_NE(store.find(attribute), std::string::npos) << attribute << '\n' << store;
    EXPECT_TRUE(InstallRecordIsEmpty());

    const std::string second =
        app.RunShell("ProductCode = " + std::string(kProduct) +
                     "\nCheckInstallableUpdates bSilent=True\nanswer dlgInstallLastUpdate cmdYes\n"
                     "CheckInstallableUpdates\nCheckInstallableUpdates\n");
    EXPECT_NE(
        second.find("CheckInstallableUpdates -> False\nForm dlgInstallLastUpdate shown modal\n"),
        std::string::npos)
        << second;
    EXPECT_NE(second.find("'Keldra Studio 5.1.0'\\n\\nSoll das Update jetzt installiert werden?"),
              std::string::npos)
        << second;
    EXPECT_NE(second.find("Form dlgInstallLastUpdate unloaded\nCheckInstallableUpdates -> True\n"
                          "CheckInstallableUpdates -> False\n"),
              std::string::npos)
        << second;
    EXPECT_NE(InstallRecord().find("/quiet /norestart"), std::string::npos);
}

TEST_F(ShellRoad, APatchIsRecordedWithTheChosenFeatures) {
    const std::string output = app.RunShell(
        ToThePage() +
        "ui frmMessages click [auButtonType=featurestatechooser] [forFeature=SampleProjects]\n"
        "ui frmMessages click [auButtonType=featurestatechooser] [forFeature=ColorTools]\n"
        "answer dlgAfterDownload close\n"
        "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-503P]\n"
        "ui frmMessages close\nwait ProcessCompleted 20000\n"
        "set p = GetLastInstallableUpdate\np.LastUpdateCmd\n");
    const std::string folder = app.Folder().string() + "/cache/kdautoupdate/downloads/";
    EXPECT_NE(output.find("p.LastUpdateCmd = Msiexec.exe /p " + folder +
                          "KeldraStudio-5.0.3.msp REINSTALLMODE=vomus "
                          "ADDLOCAL=PdfExport,SampleProjects REINSTALL=CoreFiles\n"),
              std::string::npos)
        << output;
}

TEST_F(ShellRoad, AnInformationMessageGoesToTheDesktopWithoutDialogs) {
    app.SetEnv("PATH", QString::fromStdString(app.Folder().string())); // no URL opener here
    const std::string output = app.RunShell(
        ToThePage() + "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-INFO-6]\n"
                      "ui frmMessages click #cmdClose\nwait ProcessCompleted 20000\n");
    EXPECT_EQ(output.find("dlgDownload"), std::string::npos) << output;
    EXPECT_NE(output.find("Form frmMessages unloaded\nEvent ProcessCompleted\n"), std::string::npos)
        << output;
}

} // namespace
} // namespace KDAutoUpdate

namespace KDAutoUpdate {
namespace {

TEST(ShellDownload, ADownloadCancelledHalfwayLeavesNoFileAndNoChoice) {
    ServiceProcess slow({"--rate", "100"}); // the 499-byte package takes about five seconds
    ASSERT_TRUE(slow.Started());
    ProgramCopy app;
    const std::string cache = app.Folder().string() + "/cache";
    app.SetEnv("XDG_CACHE_HOME", QString::fromStdString(cache));
    const std::string output = app.RunShell(
        "BaseURL = " + slow.BaseUrl().toStdString() + "\nProductCode = " + kProduct +
        "\nMajorVer = 5\nRevision = 2\nDisplayMessages\nwait Page 20000\n"
        "answer dlgDownload pause:1500 cmdCancel pause:500 cmdCancel\nanswer MsgBox No Yes\n"
        "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-510]\n"
        "ui frmMessages close\nwait ProcessCompleted 20000\n");
    EXPECT_NE(output.find("MsgBox Keldra Update Service: Möchten Sie den Download-Vorgang wirklich "
                          "abbrechen? -> No\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("abbrechen? -> Yes\nForm dlgDownload unloaded\nForm frmMessages unloaded"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("dlgAfterDownload"), std::string::npos) << output;
    const std::filesystem::path downloads = cache + "/kdautoupdate/downloads";
    EXPECT_TRUE(!std::filesystem::exists(downloads) || std::filesystem::is_empty(downloads));
    EXPECT_EQ(app.ReadFile("updateinfo.xml").find("last-update-cmd"), std::string::npos);
}

} // namespace
} // namespace KDAutoUpdate
