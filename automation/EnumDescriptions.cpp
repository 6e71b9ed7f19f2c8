// The published enumerations, their values taken from the core's own enums.

#include "agent/AuAgent.h"
#include "automation/AutomationDescription.h"
#include "deploy/AuFeatureTypes.h"
#include "deploy/AuMessageTypes.h"

namespace KDAutoUpdate {

const std::vector<EnumDescription>& PublishedEnumerations() {
    static const std::vector<EnumDescription> enums = {
        {"kdAuOperationTypeConstants",
         "{E0ABC841-36BE-4430-952C-A5C98A0AE8DD}",
         {{"auInit", auInit}, {"auCheck", auCheck}, {"auCheckAtStartUp", auCheckAtStartUp}}},
        {"AuMessageTypes",
         "{0904721F-FD07-45D0-AFE4-AFFC5E7D7F1F}",
         {{"aumtInfo", aumtInfo}, {"aumtExe", aumtExe}, {"aumtMSP", aumtMSP},
          {"aumtPFTW", aumtPFTW}}},
        {"AuFeatureTypes",
         "{47D35C44-1D31-4624-A7D9-BBC4B9573D0E}",
         {{"auftNewFeature", auftNewFeature}, {"auftModifiedFeature", auftModifiedFeature}}},
    };
    return enums;
}

} // namespace KDAutoUpdate
