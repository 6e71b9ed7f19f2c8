// AuAgent::DisplayMessages: opens the messages window on the service page.

#include "agent/AuAgent.h"
#include "common/AutomationDate.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"

namespace KDAutoUpdate {

Outcome<> AuAgent::DisplayMessages() {
    if (IsProcessing())
        return AutomationError{kObjectErrorBase, "AuAgent.DisplayMessages", kBusyDescription};
    if (ProductCode().empty())
        return {};
    if (!EnsureConnection())
        return {};

    if (!m_oTimer)
        return AutomationError{kObjectErrorBase + 6, "AuAgent.DisplayMessages",
                               "The timer component is not available."};
    m_oTimer->EnableTimer("IsProcessing", true);
    SetProductAttribute("last-init-date", FormatStoreDate(AutomationDate{Now()}));

    frmMessages::Open(Ptr());
    const auto& window = FormInstances::ForThread().messages;
    if (window && window->ComponentError())
        return *window->ComponentError();
    if (!window || !window->IsLoaded())
        return AutomationError{kObjectErrorBase + 6, "AuAgent.DisplayMessages",
                               "The messages window could not be loaded."};
    return {};
}

} // namespace KDAutoUpdate
