// Clicks on the service page: its buttons name a message (and a feature) by key and say by
// attribute what to do. Every click but a feature chooser's has its default action cancelled.

#include "agent/Unicode.h"
#include "agent/modMain.h"
#include "frmMessages.h"

namespace KDAutoUpdate {

bool frmMessages::m_oDoc_onclick(const HtmlElementPtr& source) {
    // Only the innermost clicked element counts; its parents are not consulted.
    if (!source)
        return false;
    const std::optional<std::string> buttonType = source->GetAttribute("auButtonType");
    if (!buttonType || buttonType->empty())
        return false;

    const std::string messageId =
        VarToStr(Variant::FromAttribute(source->GetAttribute("forMessage")), std::string());
    // Deploy may run modal dialogs during which the window unloads: this reference keeps the
    // records alive until the handler returns.
    const std::shared_ptr<KeyedCollection<AuMessage>> messages = m_colMessages;
    AuMessage* message = messages ? messages->Find(messageId) : nullptr;

    const std::string kind = LowerCase(*buttonType);
    if (kind == "actionbutton") {
        if (message)
            message->Deploy();
        return false;
    }
    if (kind == "downloadbutton") {
        if (message)
            message->DownloadFileIE();
        return false;
    }
    if (kind == "featurestatechooser") {
        m_elFeatureChooser = source;
        const std::string featureName =
            VarToStr(Variant::FromAttribute(source->GetAttribute("forFeature")), std::string());
        if (AuFeature* feature = message ? message->Features().Find(featureName) : nullptr)
            feature->SetIsChecked(source->Checked());
        return true; // the check box keeps its new state
    }
    return false;
}

bool frmMessages::elClose_onclick() {
    Unload();
    return false;
}

} // namespace KDAutoUpdate
