#include "dlgCheckMessages.h"

#include "common/IAgent.h"
#include "common/modMain.h"
#include "messages_window/frmMessages.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

dlgCheckMessages::dlgCheckMessages(Platform& platform) : Form(platform, Definition()) {}

FormDef dlgCheckMessages::Definition() {
    FormDef def;
    def.name = "dlgCheckMessages";
    def.caption = "Update verfügbar (Keldra Update Service)";
    def.clientWidth = 6090;
    def.clientHeight = 1890;
    def.border = BorderStyle::FixedDialog;
    def.showInTaskbar = true;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"imgIcon", ControlKind::Image, 120, 180, 495, 495},
        {"lblMessage", ControlKind::Label, 720, 180, 5175, 615,
         "Ein Update steht zur Verfügung. Möchten Sie mehr Infos?"},
        {"chkDontShowAgain", ControlKind::CheckBox, 720, 900, 5175, 195,
         "&Diese Nachricht nicht mehr anzeigen"},
        {"fraButtons", ControlKind::ButtonStrip, 0, 1215, 6090, 675},
        {"cmdYes", ControlKind::Button, 3720, 195, 1035, 350, "&Ja", true, false, -1, "fraButtons"},
        {"cmdNo", ControlKind::Button, 4860, 195, 1035, 350, "&Nein", false, true, -1,
         "fraButtons"},
    };
    return def;
}

std::unique_ptr<dlgCheckMessages>& dlgCheckMessages::Instance() {
    thread_local std::unique_ptr<dlgCheckMessages> instance;
    return instance;
}

void dlgCheckMessages::Open(const AgentPtr& lAgentPtr) {
    IAgent* agent = ObjectFromPtr(lAgentPtr);
    if (!agent)
        return;
    auto& instance = Instance();
    if (!instance)
        instance = std::make_unique<dlgCheckMessages>(agent->GetPlatform());
    if (instance->Load())
        instance->Init(lAgentPtr);
}

IAgent* dlgCheckMessages::Agent() const {
    return ObjectFromPtr(m_agentPtr);
}

void dlgCheckMessages::Form_Load() {
    IResourceLibrary* res = GetPlatform().resources;
    if (!res || !View())
        return;
    if (PicturePtr icon = res->LoadResourcePicture("AAA", 32, 1, 0, 0, 0))
        View()->SetPicture("imgIcon", icon);
    if (PicturePtr small = res->LoadResourcePicture("AAA", 16, 1, 0, 0, 0))
        View()->SetWindowIcon(small);
}

void dlgCheckMessages::Init(const AgentPtr& lAgentPtr) {
    m_agentPtr = lAgentPtr;
    SetTexts();
    ShowModeless(0);
}

void dlgCheckMessages::SetTexts() {
    const FormDef def = Definition();
    SetCaption(def.caption);
    for (const char* name : {"lblMessage", "chkDontShowAgain", "cmdYes", "cmdNo"})
        if (const ControlDef* c = def.Find(name))
            SetText(name, c->text);
}

void dlgCheckMessages::Control_Click(const std::string& control, int) {
    if (control == "cmdYes")
        cmdYes_Click();
    else if (control == "cmdNo")
        cmdNo_Click();
}

void dlgCheckMessages::cmdYes_Click() {
    frmMessages::Open(m_agentPtr);
    DoEvents();
    Unload();
}

void dlgCheckMessages::cmdNo_Click() {
    Unload();
}

void dlgCheckMessages::Form_Unload() {
    if (IAgent* agent = Agent())
        agent->SetProductAttribute("do-not-notify-last-message",
                                   Value("chkDontShowAgain") != 0 ? "1" : "0");
}

} // namespace KDAutoUpdate
