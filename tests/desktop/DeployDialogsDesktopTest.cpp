// The download dialog and the after-download choice as real windows: texts, access keys,
// Enter and Esc, the refused close box, the confirmation before a cancel, and a real transfer
// from the embedded service, slowed down so that the user can act while it runs.

#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include "deploy/AuMessage.h"
#include "deploy/dlgAfterDownload.h"
#include "deploy/dlgDownload.h"
#include "tests/desktop/DesktopTest.h"

using namespace KDAutoUpdate;

namespace {

constexpr const char* kPackage = "KeldraStudio-Update-5.1.0.sh";
constexpr const char* kConfirmText = "Möchten Sie den Download-Vorgang wirklich abbrechen?";
constexpr const char* kTitle = "Keldra Update Service";

class AfterDownloadDesktopTest : public DesktopTest {};

TEST_F(AfterDownloadDesktopTest, OffersThreeChoicesAndEnterConfirmsTheClickedOne) {
    dlgAfterDownload dialog(desk->platform());
    ASSERT_TRUE(dialog.Load());
    user->When(
        "dlgAfterDownload",
        [this](QtFormView& view) {
            QWidget* window = view.Window();
            EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
            auto* now = Widget<QRadioButton>(view, "optInstallAction", 0);
            auto* never = Widget<QRadioButton>(view, "optInstallAction", 2);
            ASSERT_TRUE(now && never);
            EXPECT_TRUE(now->isChecked());

            EXPECT_TRUE(user->Activate(window));
            DesktopUser::Click(never);
            EXPECT_TRUE(never->isChecked());
            EXPECT_FALSE(now->isChecked()) << "the options exclude each other";
            DesktopUser::Press(window, Qt::Key_Return);
        },
        true);

    dialog.ShowModal(0);
    EXPECT_FALSE(dialog.Cancelled());
    EXPECT_EQ(dialog.InstallOption(), 2);
    EXPECT_FALSE(dialog.View()->IsVisible());
}

// 499 bytes at 200 bytes a second: the transfer runs for about two and a half seconds.
class DownloadDesktopTest : public DesktopTest {
protected:
    DownloadDesktopTest() { packageBytesPerSecond = 200; }

    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        message.SetID("KS-2024-510");
        message.SetName("Keldra Studio 5.1.0");
        message.SetFileName(kPackage);
        message.SetMessageType(aumtExe);
        message.SetCmdLine("/quiet /norestart");
        message.SetDownloadPath(desk->BaseUrl() + "/packages/" + kPackage);
    }

    // Waits inside the modal dialog until the first progress report with a known total has
    // named the file in the caption.
    bool WaitForProgress(QWidget* window) {
        return desk->WaitFor([window] {
            return window->windowTitle().endsWith(" heruntergeladen - Keldra Update Service");
        });
    }

    std::filesystem::path Downloaded() const { return desk->ProgramFolder() / kPackage; }

    AuMessage message;
};

TEST_F(DownloadDesktopTest, ShowsProgressAndEscAsksBeforeItCancelsTheTransfer) {
    dlgDownload dialog(desk->platform());
    ASSERT_TRUE(dialog.Load());
    QPointer<QWidget> window;
    std::string progressCaption;
    bool waitingAfterNo = false;
    user->When(
        "dlgDownload",
        [&](QtFormView& view) {
            window = view.Window();
            ASSERT_TRUE(WaitForProgress(window));
            progressCaption = window->windowTitle().toStdString();
            EXPECT_TRUE(LabelText(view, "lblMessage").contains(" übertragen"));

            EXPECT_TRUE(user->Activate(window));
            user->AnswerNextBox("&Nein");
            DesktopUser::Press(window, Qt::Key_Escape);
            waitingAfterNo = window->isVisible() && view.IsModal();
        },
        true);

    dialog.Execute(&message);

    // The caption names the percentage and the shortened file name.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+% von \\S+ heruntergeladen - Keldra "
                                                  "Update Service$"))
                    .match(QString::fromStdString(progressCaption))
                    .hasMatch())
        << progressCaption;
    ASSERT_EQ(user->Boxes().size(), 1u);
    EXPECT_EQ(user->Boxes()[0].text, kConfirmText);
    EXPECT_EQ(user->Boxes()[0].title, kTitle);
    EXPECT_EQ(user->Boxes()[0].buttons, (std::vector<std::string>{"&Ja", "&Nein"}));
    EXPECT_TRUE(waitingAfterNo) << "No keeps the dialog open";

    // The transfer went on to its end, which hid the dialog.
    EXPECT_FALSE(dialog.Cancelled());
    EXPECT_EQ(dialog.DownloadedFile(), Downloaded().string());
    EXPECT_EQ(message.LocalPath(), Downloaded().string());
    EXPECT_EQ(FileContent(Downloaded()), FileContent(CataloguePackage(kPackage)));
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible());
    dialog.Unload();
}

} // namespace
