// The notification dialog and the pending-update reminder as real windows: their texts and
// access keys, Enter and Esc, and what the close box does.

#include <QPointer>
#include <QWidget>

#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
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
    EXPECT_EQ(LabelText(view, "lblMessage"),
              "Ein Update steht zur Verfügung. Möchten Sie mehr Infos?");
    EXPECT_EQ(ButtonText(view, "chkDontShowAgain"), "&Diese Nachricht nicht mehr anzeigen");
    EXPECT_FALSE(Widget<QCheckBox>(view, "chkDontShowAgain")->isChecked());
    EXPECT_EQ(ButtonText(view, "cmdYes"), "&Ja");
    EXPECT_EQ(ButtonText(view, "cmdNo"), "&Nein");
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

TEST_F(StoreDialogsDesktopTest, NotificationAccessKeyTicksTheBoxAndTheCloseBoxWritesIt) {
    MakeAgent();
    QtFormView* shown = OpenNotification();
    ASSERT_NE(shown, nullptr);
    QtFormView& view = *shown;
    const QPointer<QWidget> window = view.Window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(user->Activate(window));

    // An access key clicks its control the way a mouse click would, a moment later.
    DesktopUser::Press(window, Qt::Key_D, Qt::AltModifier);
    QCheckBox* box = Widget<QCheckBox>(view, "chkDontShowAgain");
    EXPECT_TRUE(desk->WaitFor([box] { return box->isChecked(); }));
    window->close();

    EXPECT_EQ(desk->renderer().Find("dlgCheckMessages"), nullptr);
    EXPECT_TRUE(!window || !window->isVisible());
    EXPECT_EQ(agent->GetProductAttribute("do-not-notify-last-message"), "1");
    EXPECT_FALSE(agent->IsProcessing());
}

TEST_F(StoreDialogsDesktopTest, NotificationEnterOpensTheMessagesWindowWhichItsCloseBoxCloses) {
    MakeAgent();
    QtFormView* shown = OpenNotification();
    ASSERT_NE(shown, nullptr);
    QtFormView& view = *shown;
    const QPointer<QWidget> window = view.Window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(user->Activate(window));

    DesktopUser::Press(window, Qt::Key_Return);
    EXPECT_EQ(desk->renderer().Find("dlgCheckMessages"), nullptr);
    EXPECT_EQ(agent->GetProductAttribute("do-not-notify-last-message"), "0");
    QtFormView* messages = desk->renderer().Find("frmMessages");
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(messages->IsVisible());
    EXPECT_EQ(messages->Window()->windowTitle(), "Keldra Update Service");
    EXPECT_TRUE(agent->IsProcessing()) << "the messages window keeps the agent busy";

    // Closed once the service page is in front, as a user would after reading it.
    const frmMessages* form = FormInstances::ForThread().messages.get();
    ASSERT_TRUE(form && form->Browser());
    ASSERT_TRUE(
        desk->WaitFor([form] { return form->Browser()->VisibleBrowser() == form->PageBrowser(); }));
    const QPointer<QWidget> messagesWindow = messages->Window();
    messagesWindow->close();
    EXPECT_EQ(desk->renderer().Find("frmMessages"), nullptr);
    EXPECT_TRUE(!messagesWindow || !messagesWindow->isVisible());
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
            EXPECT_EQ(ButtonText(view, "chkDontShowAgain"),
                      "&Diese Erinnerung nicht mehr anzeigen");
            EXPECT_EQ(ButtonText(view, "cmdYes"), "Ja, jetzt &installieren");
            EXPECT_EQ(ButtonText(view, "cmdNo"), "&Nein");
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

TEST_F(StoreDialogsDesktopTest, ReminderEscDeclinesUntilTheNextStartWhereItsAccessKeyInstalls) {
    MakeAgent();
    RecordPendingUpdate();
    user->When(
        "dlgInstallLastUpdate",
        [this](QtFormView& view) {
            EXPECT_TRUE(user->Activate(view.Window()));
            DesktopUser::Press(view.Window(), Qt::Key_Escape);
        },
        true);
    EXPECT_FALSE(agent->CheckInstallableUpdates());
    EXPECT_TRUE(desk->processes().CommandLines().empty());
    EXPECT_NE(agent->GetLastInstallableUpdate(), nullptr) << "declined, not forgotten";

    // The next start reminds again; Alt+I is "Ja, jetzt &installieren".
    user->When(
        "dlgInstallLastUpdate",
        [this](QtFormView& view) {
            EXPECT_TRUE(user->Activate(view.Window()));
            DesktopUser::Press(view.Window(), Qt::Key_I, Qt::AltModifier);
        },
        true);
    EXPECT_TRUE(agent->CheckInstallableUpdates());
    EXPECT_EQ(desk->processes().CommandLines(), std::vector<std::string>{kPendingCmd});
    EXPECT_EQ(agent->GetLastInstallableUpdate(), nullptr);
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
