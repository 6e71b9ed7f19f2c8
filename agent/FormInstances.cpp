#include "FormInstances.h"

#include "messages_window/frmMessages.h"
#include "store/dlgCheckMessages.h"

namespace KDAutoUpdate {

FormInstances& FormInstances::ForThread() {
    thread_local FormInstances instances{dlgCheckMessages::Instance(), frmMessages::Instance()};
    return instances;
}

} // namespace KDAutoUpdate
