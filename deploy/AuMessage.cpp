#include "AuMessage.h"

#include "common/modMain.h"

namespace KDAutoUpdate {

IAgent* AuMessage::Agent() const {
    return ObjectFromPtr(m_agentPtr);
}

} // namespace KDAutoUpdate
