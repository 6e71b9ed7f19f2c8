#include "dlgAfterDownload.h"

#include "common/modMain.h"
#include "platform/ResourceLibrary.h"

namespace KDAutoUpdate {

dlgAfterDownload::dlgAfterDownload(Platform& platform) : Form(platform, Definition()) {}

FormDef dlgAfterDownload::Definition() {
    FormDef def;
    def.name = "dlgAfterDownload";
    def.caption = "Download abgeschlossen";
    def.clientWidth = 6135;
    def.clientHeight = 2715;
    def.border = BorderStyle::FixedDialog;
    def.startUp = StartUpPosition::CenterScreen;
    def.controls = {
        {"lblInfo", ControlKind::Label, 240, 240, 5715, 495,
         "Das Update wurde erfolgreich downgeloadet. Wie möchten Sie fortfahren?"},
        {"optInstallAction", ControlKind::OptionButton, 240, 960, 5715, 255,
         "Update jetzt installieren", false, false, 0, "", 1},
        {"optInstallAction", ControlKind::OptionButton, 240, 1320, 5715, 255,
         "Update beim nächsten Programmstart installieren", false, false, 1},
        {"optInstallAction", ControlKind::OptionButton, 240, 1740, 5715, 255,
         "Aktion abbrechen und Update nicht installieren", false, false, 2},
        {"cmdOK", ControlKind::Button, 4740, 2220, 1275, 375, "&OK", true},
    };
    return def;
}

void dlgAfterDownload::Form_Load() {
    IResourceLibrary* res = GetPlatform().resources;
    if (res && View())
        if (PicturePtr icon = res->LoadResourcePicture("AAA", 16, 1, 0, 0, 0))
            View()->SetWindowIcon(icon);
}

long dlgAfterDownload::InstallOption() const {
    return View() ? GetSelectedOption(*View(), Def(), "optInstallAction") : -1;
}

bool dlgAfterDownload::Form_QueryUnload(UnloadMode mode) {
    if (mode != UnloadMode::ControlMenu)
        return false;
    m_bCancelled = true;
    Hide();
    return true;
}

void dlgAfterDownload::Control_Click(const std::string& control, int) {
    if (control == "cmdOK") {
        m_bCancelled = false;
        Hide();
    }
}

} // namespace KDAutoUpdate
