#include "FormInstances.h"

#include "messages_window/frmMessages.h"
#include "store/dlgCheckMessages.h"

namespace KDAutoUpdate {

FormInstances& FormInstances::ForThread() {
    thread_local FormInstances instances;
    return instances;
}

FormInstances::~FormInstances() = default;

} // namespace KDAutoUpdate
