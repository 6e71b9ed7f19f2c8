#include "platform/qt/QtEngineSwitches.h"

#include <QtGlobal>

namespace KDAutoUpdate {

bool QtEngineSwitches::ApplyUnlessSet() {
    // Set but empty is a choice too: the host wants the engine's own defaults.
    if (qEnvironmentVariableIsSet(kVariable))
        return false;
    return qputenv(kVariable, kDefaults);
}

} // namespace KDAutoUpdate
