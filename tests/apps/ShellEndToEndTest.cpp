// The automation shell as a host would use it: a script in, printed results and the store out.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "AppHarness.h"

namespace KDAutoUpdate {
namespace {

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "kdau_tests_apps";
            static char* argv[] = {name, nullptr};
            m_app = new QCoreApplication(argc, argv);
        }
    }
    void TearDown() override { delete m_app; }

private:
    QCoreApplication* m_app = nullptr;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

TEST(ShellEndToEnd, AScriptConfiguresAnAgentAndTheStoreHoldsExactlyWhatItWrote) {
    ProgramCopy app;
    const std::string output = app.RunShell(R"(# defaults
UILanguageLCID
AutoConnect
CompatMode
TestMode
hwndOwner
BaseURL = http://updates.example.test/services/autoupdate/
BaseURL
ProductCode = ABC-1
ProductCode
MajorVer = 5
Revision = 12
ProductLCID = 1031
CampaignID = spring&2024
query check
query
set info = GetProductInfo
info.ProductCode
info.LastCheckedDate
info.DoNotNotifyLastMessage
info.LastUpdateName = Keldra Studio 5.1
info.LastCheckedDate = 2024-05-17 14:03:59
info.DoNotNotifyLastMessage = True
info.Persist
set again = GetProductInfo
again.LastUpdateName
again.LastCheckedDate
GetLastInstallableUpdate
)");
    EXPECT_EQ(output,
              "UILanguageLCID = 1031\n"
              "AutoConnect = True\n"
              "CompatMode = 2\n"
              "TestMode = False\n"
              "hwndOwner = 0\n"
              "BaseURL = http://updates.example.test/services/autoupdate\n"
              "ProductCode = {ABC-1}\n"
              "?TestMode=False&ProductCode={ABC-1}&Version=5.0.12&Language=1031&CmpID=spring&2024"
              "&UILang=1031&OpType=check&CompatMode=2\n"
              "?TestMode=False&ProductCode={ABC-1}&Version=5.0.12&Language=1031&CmpID=spring&2024"
              "&UILang=1031&CompatMode=2\n"
              "set info = AuProductInfo\n"
              "info.ProductCode = {ABC-1}\n"
              "info.LastCheckedDate = 1899-12-30 00:00:00\n"
              "info.DoNotNotifyLastMessage = False\n"
              "info.Persist -> Nothing\n"
              "set again = AuProductInfo\n"
              "again.LastUpdateName = Keldra Studio 5.1\n"
              "again.LastCheckedDate = 2024-05-17 14:03:59\n"
              "GetLastInstallableUpdate -> Nothing\n");
    EXPECT_EQ(app.ReadFile("updateinfo.xml"),
              "<?xml version=\"1.0\"?><update-info><product code=\"{ABC-1}\" "
              "do-not-notify-last-message=\"1\" install-last-update-on-startup=\"0\" "
              "last-checked-date=\"2024-05-17 14:03:59\" last-init-date=\"1899-12-30 00:00:00\" "
              "last-update-name=\"Keldra Studio 5.1\" /></update-info>");
}

TEST(ShellEndToEnd, BadStatementsAreReportedAndTheScriptGoesOn) {
    ProgramCopy app;
    const std::string output = app.RunShell("NoSuchThing\nMajorVer = five\nIsProcessing = True\n"
                                            "set x = CheckMessages\nx.Persist\n"
                                            "CheckMessages bLoud=True\nwait Nothing\nMajorVer\n");
    EXPECT_EQ(output, "Syntax error: NoSuchThing\n"
                      "Error 13 Shell: Type mismatch\n"
                      "Syntax error: unknown or read-only property: IsProcessing\n"
                      "Syntax error: only GetProductInfo and GetLastInstallableUpdate return a "
                      "record\n"
                      "Syntax error: no record bound to x\n"
                      "Syntax error: CheckMessages has no argument bLoud\n"
                      "Syntax error: unknown event Nothing\n"
                      "MajorVer = 0\n");
}

TEST(ShellEndToEnd, EachCopyOfTheProgramKeepsItsOwnStore) {
    ProgramCopy first;
    ProgramCopy second;
    first.RunShell("ProductCode = A\nset r = GetProductInfo\nr.LastUpdateName = one\nr.Persist\n");
    second.RunShell("ProductCode = B\n");
    EXPECT_NE(first.ReadFile("updateinfo.xml").find("code=\"{A}\""), std::string::npos);
    EXPECT_EQ(first.ReadFile("updateinfo.xml").find("{B}"), std::string::npos);
    EXPECT_EQ(second.ReadFile("updateinfo.xml"),
              "<?xml version=\"1.0\"?><update-info />"); // a property write reads nothing
}

TEST(ShellEndToEnd, ACorruptStoreIsResetWhenTheAgentIsCreated) {
    ProgramCopy app;
    app.WriteFile("updateinfo.xml", "<update-info><product");
    app.RunShell("quit\n");
    EXPECT_EQ(app.ReadFile("updateinfo.xml"), "<?xml version=\"1.0\"?><update-info />");
}

TEST(ShellEndToEnd, ChecksTheEmbeddedServiceSynchronouslyAndAsynchronously) {
    ServiceProcess service;
    ASSERT_TRUE(service.Started());
    ProgramCopy app;
    const std::string script = "BaseURL = " + service.BaseUrl().toStdString() + "\n" +
                               "ProductCode = " + kProduct +
                               "\n"
                               "MajorVer = 5\n"
                               "CheckMessages bSilent=True bAsync=False bAuto=False\n"
                               "IsProcessing\n"
                               "on NewMessages bSkipDialog=True\n"
                               "CheckMessages\n"
                               "IsProcessing\n"
                               "wait NewMessages 20000\n"
                               "wait ProcessCompleted 20000\n"
                               "IsProcessing\n"
                               "wait NewMessages 200\n"; // each event is waited for once
    const std::string output = app.RunShell(script);
    EXPECT_NE(output.find("CheckMessages -> True\nIsProcessing = False\nCheckMessages -> False\n"
                          "IsProcessing = True\nEvent NewMessages lMessageCount="),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Event ProcessCompleted\nIsProcessing = False\nTimeout\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("Timeout"), output.rfind("Timeout")) << output;
    EXPECT_EQ(output.find("Form dlgCheckMessages"), std::string::npos) << output;

    const QStringList requests = service.Requests();
    ASSERT_GE(requests.size(), 2) << requests.join('\n').toStdString();
    EXPECT_TRUE(requests[0].contains("/services/autoupdate/CheckUpdate.aspx?TestMode=False&"
                                     "ProductCode="));
    EXPECT_TRUE(requests[0].contains("&Version=5.0.0&UILang=1031&OpType=check&CompatMode=2"));
    EXPECT_TRUE(requests[1].contains("&OpType=checkatstartup&CompatMode=2"));
    const std::string store = app.ReadFile("updateinfo.xml");
    EXPECT_NE(store.find("last-checked-date=\""), std::string::npos) << store;
}

} // namespace
} // namespace KDAutoUpdate
