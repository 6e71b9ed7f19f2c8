// The notification dialog and the pending-update reminder as real windows: their texts and
// access keys, Enter and Esc, and what the close box does.

#include <QPointer>
#include <QWidget>

#include "store/dlgCheckMessages.h"
#include "store/dlgInstallLastUpdate.h"
#include "tests/desktop/DesktopTest.h"

using namespace KDAutoUpdate;

namespace {

constexpr const char* kPendingName = "Keldra Studio 5.1.0";
constexpr const char* kPendingCmd = "/opt/keldra/KeldraStudio-Update-5.1.0.sh /quiet /norestart";

class StoreDialogsDesktopTest : public DesktopTest {
protected:
    // The notification dialog as the message check opens it: modeless, already shown.
    QtFormView* OpenNotification() {
        dlgCheckMessages::Open(agent->Ptr());
        QtFormView* view = desk->renderer().Find("dlgCheckMessages");
        return view && view->IsVisible() ? view : nullptr;
    }

    void RecordPendingUpdate() {
        agent->SetProductAttribute("install-last-update-on-startup", "1");
        agent->SetProductAttribute("last-update-message-id", "KS-2024-510");
        agent->SetProductAttribute("last-update-cmd", kPendingCmd);
        agent->SetProductAttribute("last-update-name", kPendingName);
        agent->SetProductAttribute("last-kill-proc-name", "KeldraStudio");
    }
};

TEST_F(StoreDialogsDesktopTest, NotificationShowsItsTextsAndEscClosesItWritingTheFlag) {
    MakeAgent();
    agent->SetProductAttribute("do-not-notify-last-message", "1");
    QtFormView* shown = OpenNotification();
    ASSERT_NE(shown, nullptr);
    QtFormView& view = *shown;
    const QPointer<QWidget> window = view.Window();
    ASSERT_TRUE(window);

    EXPECT_EQ(window->windowTitle(), "Update verfügbar (Keldra Update Service)");
    EXPECT_EQ(window->windowModality(), Qt::NonModal);
    EXPECT_FALSE(Widget<QCheckBox>(view, "chkDontShowAgain")->isChecked());
    EXPECT_TRUE(Widget<QPushButton>(view, "cmdYes")->isDefault());
    EXPECT_FALSE(Widget<QPushButton>(view, "cmdNo")->isDefault());
    EXPECT_TRUE(agent->IsProcessing()) << "the open dialog keeps the agent busy";

    ASSERT_TRUE(user->Activate(window));
    DesktopUser::Press(window, Qt::Key_Escape);
    EXPECT_EQ(desk->renderer().Find("dlgCheckMessages"), nullptr);
    EXPECT_TRUE(!window || !window->isVisible());
    EXPECT_EQ(agent->GetProductAttribute("do-not-notify-last-message"), "0");
    EXPECT_FALSE(agent->IsProcessing());
}

TEST_F(StoreDialogsDesktopTest, ReminderNamesTheUpdateAndEnterInstallsIt) {
    MakeAgent();
    RecordPendingUpdate();
    user->When(
        "dlgInstallLastUpdate",
        [this](QtFormView& view) {
            QWidget* window = view.Window();
            EXPECT_EQ(window->windowTitle(), "Update installieren");
            EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
            EXPECT_EQ(LabelText(view, "lblMessage"),
                      QStringLiteral("Ein Update, das Sie zuvor downgeloadet haben, wurde noch "
                                     "nicht installiert: '%1'\n\nSoll das Update jetzt "
                                     "installiert werden?")
                          .arg(kPendingName));
            EXPECT_TRUE(Widget<QPushButton>(view, "cmdYes")->isDefault());
            EXPECT_TRUE(user->Activate(window));
            DesktopUser::Press(window, Qt::Key_Return);
        },
        true);

    EXPECT_TRUE(agent->CheckInstallableUpdates());
    EXPECT_EQ(desk->processes().CommandLines(), std::vector<std::string>{kPendingCmd});
    EXPECT_EQ(agent->GetLastInstallableUpdate(), nullptr);
    EXPECT_EQ(agent->GetProductAttribute("install-last-update-on-startup"), "0");
    EXPECT_EQ(agent->GetProductAttribute("last-update-cmd"), "");
    EXPECT_EQ(desk->renderer().Find("dlgInstallLastUpdate"), nullptr);
}

TEST_F(StoreDialogsDesktopTest, ReminderCloseBoxIsRefusedAndOnlyHidesTheDialog) {
    MakeAgent();
    RecordPendingUpdate();
    dlgInstallLastUpdate dialog(desk->platform());
    ASSERT_TRUE(dialog.Load());
    QPointer<QWidget> window;
    bool closeAccepted = true;
    user->When(
        "dlgInstallLastUpdate",
        [&](QtFormView& view) {
            window = view.Window();
            EXPECT_TRUE(user->Activate(window));
            DesktopUser::Press(window, Qt::Key_D, Qt::AltModifier);
            QCheckBox* box = Widget<QCheckBox>(view, "chkDontShowAgain");
            EXPECT_TRUE(desk->WaitFor([box] { return box->isChecked(); }));
            closeAccepted = window->close();
        },
        true);

    dialog.Init(kPendingName, agent->Ptr());
    EXPECT_FALSE(closeAccepted);
    EXPECT_TRUE(dialog.Cancelled());
    EXPECT_TRUE(dialog.IsLoaded());
    ASSERT_TRUE(window) << "the refused close left the window in place";
    EXPECT_FALSE(window->isVisible());
    EXPECT_NE(agent->GetLastInstallableUpdate(), nullptr);

    // The unload by code goes through; the ticked box then forgets the update.
    EXPECT_TRUE(dialog.Unload());
    EXPECT_EQ(agent->GetLastInstallableUpdate(), nullptr);
    EXPECT_TRUE(desk->processes().CommandLines().empty());
}

} // namespace
