#pragma once
// The default instances of the agent's modeless windows: one of each per thread. Each window
// keeps its own; this names them together for the agent and for hosts that look at them.

#include <memory>

namespace KDAutoUpdate {

class dlgCheckMessages;
class frmMessages;

struct FormInstances {
    std::unique_ptr<dlgCheckMessages>& checkMessages;
    std::unique_ptr<frmMessages>& messages;

    static FormInstances& ForThread();
};

} // namespace KDAutoUpdate
