// Clicks on the service page: its buttons name a message (and a feature) by key and say by
// attribute what to do. Every click but a feature chooser's has its default action cancelled.

#include "common/Unicode.h"
#include "frmMessages.h"

namespace KDAutoUpdate {

bool frmMessages::m_oDoc_onclick(const HtmlElementPtr& source) {
    // Only the innermost clicked element counts; its parents are not consulted.
    if (!source)
        return false;
    const std::optional<std::string> buttonType = source->GetAttribute("auButtonType");
    if (!buttonType || buttonType->empty())
        return false;

    // A button without forMessage names no message, not the one whose id is empty.
    const std::optional<std::string> messageId = source->GetAttribute("forMessage");
    // Deploy may run modal dialogs during which the window unloads: this reference keeps the
    // records alive until the handler returns.
    const std::shared_ptr<KeyedCollection<AuMessage>> messages = m_colMessages;
    AuMessage* message = messages && messageId ? messages->Find(*messageId) : nullptr;

    const std::string kind = LowerCase(*buttonType);
    if (kind == "actionbutton" || kind == "downloadbutton") {
        const std::shared_ptr<bool> running = m_buttonRunning;
        if (!message || *running)
            return false;
        *running = true;
        if (kind == "actionbutton")
            message->Deploy();
        else
            message->DownloadFileIE();
        *running = false;
        return false;
    }
    if (kind == "featurestatechooser") {
        m_elFeatureChooser = source;
        const std::optional<std::string> featureName = source->GetAttribute("forFeature");
        if (AuFeature* feature =
                message && featureName ? message->Features().Find(*featureName) : nullptr)
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
