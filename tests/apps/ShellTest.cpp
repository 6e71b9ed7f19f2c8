// The automation shell as a host uses it: statements in, printed results and the store out; and
// the whole road against the embedded service, from the check to the installer or the reminder.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <filesystem>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

constexpr const char* kProduct = "6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14";

TEST(Shell, StatementsPrintTheirResultsAndTheStoreHoldsWhatTheScriptWrote) {
    ProgramCopy app;
    const std::string output =
        app.RunShell(R"(BaseURL = http://updates.example.test/services/autoupdate/
BaseURL
ProductCode = ABC-1
TestMode = -1
TestMode
set info = GetProductInfo
info.LastCheckedDate
info.LastUpdateName = Keldra Studio 5.1
info.LastCheckedDate = 2024-05-17 14:03:59
info.DoNotNotifyLastMessage = True
info.Persist
set again = GetProductInfo
again.LastCheckedDate
GetLastInstallableUpdate
NoSuchThing
MajorVer = five
IsProcessing = True
set x = CheckMessages
x.Persist
CheckMessages bLoud=True
wait Nothing
)");
    EXPECT_EQ(output, "BaseURL = http://updates.example.test/services/autoupdate\n"
                      "TestMode = True\n"
                      "set info = AuProductInfo\n"
                      "info.LastCheckedDate = 1899-12-30 00:00:00\n"
                      "info.Persist -> Nothing\n"
                      "set again = AuProductInfo\n"
                      "again.LastCheckedDate = 2024-05-17 14:03:59\n"
                      "GetLastInstallableUpdate -> Nothing\n"
                      "Syntax error: NoSuchThing\n"
                      "Error 13 Shell: Type mismatch\n"
                      "Syntax error: unknown or read-only property: IsProcessing\n"
                      "Syntax error: only GetProductInfo and GetLastInstallableUpdate return a "
                      "record\n"
                      "Syntax error: no record bound to x\n"
                      "Syntax error: CheckMessages has no argument bLoud\n"
                      "Syntax error: unknown event Nothing\n");
    EXPECT_EQ(app.ReadFile("updateinfo.xml"),
              "<?xml version=\"1.0\"?><update-info><product code=\"{ABC-1}\" "
              "do-not-notify-last-message=\"1\" install-last-update-on-startup=\"0\" "
              "last-checked-date=\"2024-05-17 14:03:59\" last-init-date=\"1899-12-30 00:00:00\" "
              "last-update-name=\"Keldra Studio 5.1\" /></update-info>");

    // A quick command is a short script of the same statements.
    EXPECT_EQ(app.Run({"query", "--product", "ABC-1", "--version", "5.0.12", "--campaign",
                       "spring&2024", "--test-mode", "check"})
                  .out,
              "?TestMode=True&ProductCode={ABC-1}&Version=5.0.12&CmpID=spring&2024&UILang=1031"
              "&OpType=check&CompatMode=2\n");
}

class ShellRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Started());
        const QString folder = QString::fromStdString(app.Folder().string());
        app.SetEnv("KDAU_INSTALL_RECORD", folder + "/installs.log");
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

    ServiceProcess service;
    ProgramCopy app;
};

TEST_F(ShellRoad, NewMessagesPrintsItsArgumentsByNameAndTheAnswerSkipsTheDialog) {
    // The dialog is answered beforehand, so a lost bSkipDialog answer shows it and goes on.
    const std::string output = app.RunShell(
        Header() + "on NewMessages bSkipDialog=True\nanswer dlgCheckMessages cmdNo\n"
                   "CheckMessages\nwait NewMessages 20000\nwait ProcessCompleted 20000\n"
                   "on NewMessages bSkipDialog\n");
    const std::string head = "Event NewMessages lMessageCount=3 sMessageStamp=";
    const auto at = output.find(head);
    ASSERT_NE(at, std::string::npos) << output;
    const std::string line = output.substr(at, output.find('\n', at) - at);
    // The stamp is a short value; the response document has a line of its own.
    EXPECT_NE(line.substr(head.size(), 1), "<") << line;
    EXPECT_EQ(line.substr(line.size() - 18), " bSkipDialog=False") << line;
    EXPECT_EQ(output.substr(at + line.size(), 9), "\n  xml: <") << output;
    EXPECT_EQ(output.find("Form dlgCheckMessages shown"), std::string::npos) << output;
    EXPECT_NE(output.find("Event ProcessCompleted\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Syntax error: on NewMessages bSkipDialog=True|False\n"),
              std::string::npos)
        << output;
}

TEST_F(ShellRoad, FromCheckToAnInstallerStartedNow) {
    const std::string output = app.RunShell(
        ToThePage() + "answer dlgAfterDownload cmdOK\n"
                      "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-510]\n"
                      "ui frmMessages close\nwait ProcessCompleted 20000\n"
                      "wait ProcessCompleted 200\nGetLastInstallableUpdate\n");
    EXPECT_NE(output.find("Page shown: 3 messages\nForm dlgDownload shown modal\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("  progress: 100% von "), std::string::npos) << output;
    EXPECT_NE(output.find("Form dlgAfterDownload shown modal"), std::string::npos) << output;
    // Each event is waited for once.
    EXPECT_NE(output.find("Event ProcessCompleted\nTimeout\nGetLastInstallableUpdate -> Nothing\n"),
              std::string::npos)
        << output;
    // The installer runs detached: wait for its record (bounded).
    QElapsedTimer clock;
    clock.start();
    std::string ran;
    while ((ran = app.ReadFile("installs.log")).empty() && clock.elapsed() < 10000)
        QThread::msleep(20);
    EXPECT_NE(ran.find("/quiet /norestart"), std::string::npos) << ran;
    const std::string store = app.ReadFile("updateinfo.xml");
    EXPECT_NE(store.find("install-last-update-on-startup=\"0\""), std::string::npos) << store;
    EXPECT_EQ(store.find("last-update-cmd"), std::string::npos) << store;
    EXPECT_EQ(service.Requests().filter("/packages/KeldraStudio-Update-5.1.0.sh").size(), 1);
}

TEST_F(ShellRoad, APatchWithTheChosenFeaturesIsRecordedAndTheReminderStartsIt) {
    const std::string first = app.RunShell(
        ToThePage() +
        "ui frmMessages click [auButtonType=featurestatechooser] [forFeature=SampleProjects]\n"
        "ui frmMessages click [auButtonType=featurestatechooser] [forFeature=ColorTools]\n"
        "answer dlgAfterDownload close\n"
        "ui frmMessages click [auButtonType=actionbutton] [forMessage=KS-2024-503P]\n"
        "ui frmMessages close\nwait ProcessCompleted 20000\n");
    EXPECT_NE(first.find("Form dlgAfterDownload unloaded"), std::string::npos) << first;
    const std::string command = "Msiexec.exe /p " + app.Folder().string() +
                                "/cache/kdautoupdate/downloads/" + kProduct +
                                "/KeldraStudio-5.0.3.msp "
                                "REINSTALLMODE=vomus ADDLOCAL=PdfExport,SampleProjects "
                                "REINSTALL=CoreFiles";
    const std::string store = app.ReadFile("updateinfo.xml");
    for (const std::string& attribute :
         {std::string("install-last-update-on-startup=\"1\""),
          std::string("last-update-message-id=\"KS-2024-503P\""), "last-update-cmd=\"" + command})
        EXPECT_NE(store.find(attribute), std::string::npos) << attribute << '\n' << store;
    EXPECT_FALSE(std::filesystem::exists(app.Folder() / "installs.log"));

    const std::string second =
        app.RunShell("ProductCode = " + std::string(kProduct) +
                     "\nCheckInstallableUpdates bSilent=True\nanswer dlgInstallLastUpdate cmdYes\n"
                     "CheckInstallableUpdates\nCheckInstallableUpdates\n");
    EXPECT_NE(
        second.find("CheckInstallableUpdates -> False\nForm dlgInstallLastUpdate shown modal\n"),
        std::string::npos)
        << second;
    EXPECT_NE(second.find("Form dlgInstallLastUpdate unloaded\nCheckInstallableUpdates -> True\n"
                          "CheckInstallableUpdates -> False\n"),
              std::string::npos)
        << second;
    // Handed over: this system has no Msiexec, and a command that cannot start counts as run.
    EXPECT_EQ(app.ReadFile("updateinfo.xml").find("last-update-cmd"), std::string::npos);
}

// A check loads what it needs and no more, by the dynamic loader's own account (LD_DEBUG=libs).
TEST_F(ShellRoad, ACheckLoadsNeitherWindowsNorBrowserNorHttpService) {
    const QDir folder(QString::fromStdString(app.Folder().string()));
    app.SetEnv("LD_DEBUG", "libs");
    app.SetEnv("LD_DEBUG_OUTPUT", folder.filePath("ld"));
    const std::string output =
        app.RunShell(Header() + "CheckMessages bSilent=True bAsync=False bAuto=False\n");
    ASSERT_NE(output.find("CheckMessages -> True"), std::string::npos) << output;

    QString loaded;
    for (const QString& name : folder.entryList({"ld.*"}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            loaded += QString::fromLocal8Bit(file.readAll());
    }
    ASSERT_TRUE(loaded.contains("calling init: ")) << "no loader trace";
    for (const char* library :
         {"libkdautoupdate.so", "libQt6Network.so", "libpugixml.so", "libgumbo.so"})
        EXPECT_TRUE(loaded.contains(library)) << library;
    for (const char* library : {"libQt6Gui.so", "libQt6Widgets.so", "libQt6WebEngineCore.so",
                                "libQt6HttpServer.so", "libkdautoupdate-desktop.so"})
        EXPECT_FALSE(loaded.contains(library)) << library;
}

} // namespace
} // namespace KDAutoUpdate
