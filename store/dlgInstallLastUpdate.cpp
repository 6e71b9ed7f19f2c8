#include "dlgInstallLastUpdate.h"

#include "common/IAgent.h"
#include "deploy/PackageTrust.h"
#include "common/modMain.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

dlgInstallLastUpdate::dlgInstallLastUpdate(Platform& platform) : Form(platform, Definition()) {}

FormDef dlgInstallLastUpdate::Definition() {
    FormDef def;
    def.name = "dlgInstallLastUpdate";
    def.caption = "Update installieren";
    def.clientWidth = 6555;
    def.clientHeight = 2385;
    def.border = BorderStyle::FixedDialog;
    def.showInTaskbar = false;
    def.startUp = StartUpPosition::WindowsDefault;
    def.controls = {
        {"imgIcon", ControlKind::Image, 240, 240, 495, 495},
        {"lblMessage", ControlKind::Label, 840, 240, 5535, 975},
        {"chkDontShowAgain", ControlKind::CheckBox, 840, 1320, 5535, 195,
         "&Diese Erinnerung nicht mehr anzeigen"},
        {"fraButtons", ControlKind::ButtonStrip, 0, 1650, 6555, 735},
        {"cmdYes", ControlKind::Button, 3300, 210, 1995, 375, "Ja, jetzt &installieren", true,
         false, -1, "fraButtons"},
        {"cmdNo", ControlKind::Button, 5400, 210, 1035, 375, "&Nein", false, true, -1,
         "fraButtons"},
    };
    return def;
}

IAgent* dlgInstallLastUpdate::Agent() const {
    return ObjectFromPtr(m_agentPtr);
}

void dlgInstallLastUpdate::Form_Load() {
    IResourceLibrary* res = GetPlatform().resources;
    if (!res || !View())
        return;
    if (PicturePtr question = res->LoadResourcePicture("IC_QUESTION", 32, 1, 0, 0, 0))
        View()->SetPicture("imgIcon", question);
    if (PicturePtr small = res->LoadResourcePicture("AAA", 16, 1, 0, 0, 0))
        View()->SetWindowIcon(small);
}

void dlgInstallLastUpdate::Init(const std::string& sUpdateName, const AgentPtr& lAgentPtr) {
    m_agentPtr = lAgentPtr;
    SetText("lblMessage",
            "Ein Update, das Sie zuvor downgeloadet haben, wurde noch nicht installiert: '" +
                sUpdateName + "'\r\n\r\nSoll das Update jetzt installiert werden?");
    ShowModal(0);
}

void dlgInstallLastUpdate::Control_Click(const std::string& control, int) {
    if (control == "cmdYes") {
        m_bCancelled = false;
        Hide();
    } else if (control == "cmdNo") {
        m_bCancelled = true;
        Hide();
    }
}

bool dlgInstallLastUpdate::Form_QueryUnload(UnloadMode mode) {
    if (mode != UnloadMode::ControlMenu)
        return false;
    m_bCancelled = true;
    Hide();
    return true;
}

void dlgInstallLastUpdate::Form_Unload() {
    if (Value("chkDontShowAgain") != 0)
        if (IAgent* agent = Agent())
            ClearPendingUpdate(*agent);
}

void ClearPendingUpdate(IAgent& agent) {
    agent.SetProductAttribute("install-last-update-on-startup", "0");
    for (const char* name : {"last-update-message-id", "last-update-cmd", "last-update-name",
                             "last-kill-proc-name"})
        agent.SetProductAttribute(name, "");
    ForgetPackageProof(agent);
}

} // namespace KDAutoUpdate
