#include "AuMessage.h"

#include "agent/modMain.h"

namespace KDAutoUpdate {

AuAgent* AuMessage::Agent() const {
    return ObjectFromPtr(m_agentPtr);
}

} // namespace KDAutoUpdate
