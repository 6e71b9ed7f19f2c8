#include "AuFeature.h"

namespace KDAutoUpdate {

bool AuFeature::InstallState() const {
    return m_bIsMandatory || m_bIsChecked;
}

} // namespace KDAutoUpdate
