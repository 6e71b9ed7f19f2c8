#include "dlgDownload.h"

#include <cmath>

#include "AuMessage.h"
#include "DeltaRebuild.h"
#include "RecordedPackages.h"
#include "common/IAgent.h"
#include "common/modMain.h"
#include "platform/EventLoop.h"
#include "platform/ResourceLibrary.h"
#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kFailedText = "Das Update konnte nicht heruntergeladen werden. Bitte wenden "
                                    "Sie sich an den technischen Support.";
constexpr const char* kConfirmText = "Möchten Sie den Download-Vorgang wirklich abbrechen?";
} // namespace

dlgDownload::dlgDownload(Platform& platform) : Form(platform, Definition()) {}

dlgDownload::~dlgDownload() {
    if (m_ctlDownload)
        m_ctlDownload->SetEvents(nullptr);
}

FormDef dlgDownload::Definition() {
    FormDef def;
    def.name = "dlgDownload";
    def.caption = "Keldra Update Service";
    def.clientWidth = 5895;
    def.clientHeight = 2760;
    def.border = BorderStyle::FixedDialog;
    def.startUp = StartUpPosition::Manual;
    def.controls = {
        {"picAnim", ControlKind::Animation, 120, 120, 5655, 735},
        {"ProgressBar", ControlKind::ProgressBar, 120, 1080, 5655, 195},
        {"lblStatus", ControlKind::Label, 180, 1500, 1350, 195, "Geschätzte Dauer:"},
        {"lblMessage", ControlKind::Label, 1980, 1500, 3765, 195},
        {"lblTransferRate", ControlKind::Label, 180, 1800, 1335, 195, "Übertragungsrate:"},
        {"lblTransferMessage", ControlKind::Label, 1980, 1800, 3735, 195},
        {"cmdCancel", ControlKind::Button, 4380, 2280, 1395, 375, "&Abbrechen", false, true},
        {"ctlDownload", ControlKind::Invisible},
    };
    return def;
}

void dlgDownload::Form_Load() {
    Platform& platform = GetPlatform();
    if (platform.resources && View())
        if (PicturePtr icon = platform.resources->LoadResourcePicture("AAA", 16, 1, 0, 0, 0))
            View()->SetWindowIcon(icon);
    if (platform.downloads) {
        m_ctlDownload = platform.downloads->CreateDownloader();
        if (m_ctlDownload)
            m_ctlDownload->SetEvents(this);
    }
    if (View()) {
        m_player = View()->CreateAnimation("picAnim");
        if (m_player) {
            m_player->SetOptions(true, false, true);
            m_player->Open("101");
        }
    }
}

std::string dlgDownload::MessageID() const {
    return m_message ? m_message->ID() : std::string();
}

void dlgDownload::Execute(AuMessage* message) {
    if (!message)
        return;
    m_message = message;
    SetValue("ProgressBar", 0);
    if (View()) {
        const Form* owner = Form::LoadedForm("frmMessages");
        const IFormView* ownerView = owner ? owner->View() : nullptr;
        const TwipRect screen = GetPlatform().forms ? GetPlatform().forms->Screen() : TwipRect{};
        CenterForm(*View(), ownerView, screen);
    }
    if (m_player)
        m_player->Play(0, -1, -1);
    // The folder is tidied when the transfer begins: what a recorded update still has to start
    // stays, however old it is.
    if (m_ctlDownload)
        if (IAgent* agent = m_message->Agent()) {
            m_ctlDownload->KeepFiles(RecordedPackageFiles(*agent));
            m_ctlDownload->SetProduct(agent->ProductCode());
        }
    // A package kept from an earlier update may make a patch enough.
    m_delta = m_ctlDownload ? DeltaChoice::For(*m_message) : std::nullopt;
    if (m_delta && !m_ctlDownload->BeginDownload(m_delta->PatchUrl(), m_message->ID()))
        m_delta.reset();
    const bool started =
        m_delta ||
        (m_ctlDownload && m_ctlDownload->BeginDownload(m_message->DownloadPath(), m_message->ID()));
    // A transfer that never started has ended without a file: once the dialog waits, it ends
    // like a failed transfer.
    if (!started && GetPlatform().loop)
        GetPlatform().loop->Post([self = std::weak_ptr<dlgDownload*>(m_self)] {
            if (const auto alive = self.lock())
                (*alive)->DownloadComplete(std::string());
        });
    ShowModal(0);
}

void dlgDownload::DownloadProgress(long long, long long percent, long long rate,
                                   long long remaining, long long received, long long total,
                                   long long) {
    IUtilityLibrary* util = GetPlatform().utility;
    if (!util)
        return;
    const std::string transferred =
        util->FormatByteSize(received) + " von " + util->FormatByteSize(total) + " übertragen";
    const std::string rateText = util->FormatByteSize(rate) + "/Sek.";
    long long remainingValue = remaining;
    const std::string remainingText = util->FormatDuration(remainingValue);

    if (rate > 0) {
        SetText("lblMessage", remainingText + " (" + transferred + ")");
        SetText("lblTransferMessage", rateText);
    } else {
        SetText("lblMessage", transferred);
        SetText("lblTransferMessage", "");
    }

    if (total > 0) {
        const auto position =
            static_cast<float>(100.0 * static_cast<double>(received) / static_cast<double>(total));
        SetValue("ProgressBar", position);
        short maxLength = 24;
        const std::string fileName = m_message ? m_message->FileName() : std::string();
        SetCaption(std::to_string(percent) + "% von " + util->ShortenText(fileName, maxLength) +
                   " heruntergeladen - Keldra Update Service");
    } else {
        SetValue("ProgressBar", 0);
    }
}

bool dlgDownload::PatchDone() {
    const std::string rebuilt = DeltaRebuild::Run(*m_message, *m_delta, m_ctlDownload->LocalFile());
    m_delta.reset();
    if (!rebuilt.empty()) {
        m_message->SetLocalPath(rebuilt);
        m_sDownloadedFile = rebuilt;
        Hide();
        return true;
    }
    // The user asked for the package, not for a patch: whatever went wrong with the patch, the
    // whole package follows without a word.
    return m_ctlDownload->BeginDownload(m_message->DownloadPath(), MessageID());
}

void dlgDownload::DownloadComplete(const std::string& value) {
    if (m_delta && m_ctlDownload && !m_ctlDownload->IsBusy()) {
        if (PatchDone())
            return;
        // Neither the patch nor the whole package came: a failed transfer.
        m_message->SetLocalPath(std::string());
        if (GetPlatform().forms)
            GetPlatform().forms->MsgBox(kFailedText, MsgBoxButtons::OK, MsgBoxIcon::Critical, "");
        Hide();
        return;
    }
    if (m_message)
        m_message->SetLocalPath(value);
    if (m_ctlDownload && m_ctlDownload->IsBusy()) {
        m_ctlDownload->CancelDownload(MessageID());
    } else if (m_ctlDownload && !m_ctlDownload->LocalFile().empty()) {
        if (m_message)
            m_message->SetLocalPath(m_ctlDownload->LocalFile());
        m_sDownloadedFile = value;
    } else if (GetPlatform().forms) {
        GetPlatform().forms->MsgBox(kFailedText, MsgBoxButtons::OK, MsgBoxIcon::Critical, "");
    }
    Hide();
}

bool dlgDownload::ConfirmCancel() {
    if (!m_ctlDownload || !m_ctlDownload->IsBusy())
        return true;
    const MsgBoxResult answer =
        GetPlatform().forms ? GetPlatform().forms->MsgBox(kConfirmText, MsgBoxButtons::YesNo,
                                                          MsgBoxIcon::Question, "")
                            : MsgBoxResult::No;
    if (answer != MsgBoxResult::Yes)
        return false;
    m_ctlDownload->CancelDownload(MessageID());
    if (m_player)
        m_player->Stop();
    return true;
}

void dlgDownload::Control_Click(const std::string& control, int) {
    if (control == "cmdCancel" && ConfirmCancel()) {
        m_bCancelled = true;
        Hide();
    }
}

bool dlgDownload::Form_QueryUnload(UnloadMode mode) {
    if (mode != UnloadMode::ControlMenu)
        return false;
    if (ConfirmCancel()) {
        m_bCancelled = true;
        Hide();
    }
    return true;
}

void dlgDownload::Form_Unload() {
    m_sDownloadedFile.clear();
    if (m_ctlDownload && m_ctlDownload->IsBusy())
        m_ctlDownload->CancelDownload(MessageID());
    if (m_player) {
        m_player->Stop();
        m_player.reset();
    }
}

} // namespace KDAutoUpdate
