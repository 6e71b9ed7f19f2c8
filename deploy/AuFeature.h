#pragma once
// One installer feature a patch can add or reinstall: a plain record.

#include <string>
#include <utility>

#include "AuFeatureTypes.h"

namespace KDAutoUpdate {

class AuFeature {
public:
    const std::string& Name() const { return m_sName; }
    void SetName(std::string value) { m_sName = std::move(value); }
    AuFeatureTypes FeatureType() const { return m_lFeatureType; }
    void SetFeatureType(AuFeatureTypes value) { m_lFeatureType = value; }
    bool IsMandatory() const { return m_bIsMandatory; }
    void SetIsMandatory(bool value) { m_bIsMandatory = value; }
    // Carried for the page only; nothing in the agent decides by it.
    bool AllowUserSelection() const { return m_bAllowUserSelection; }
    void SetAllowUserSelection(bool value) { m_bAllowUserSelection = value; }
    // The user's choice on the page.
    bool IsChecked() const { return m_bIsChecked; }
    void SetIsChecked(bool value) { m_bIsChecked = value; }

    // Whether the feature is installed: always when mandatory, otherwise as the user chose.
    bool InstallState() const;

private:
    std::string m_sName;
    AuFeatureTypes m_lFeatureType = auftNewFeature;
    bool m_bIsMandatory = false;
    bool m_bAllowUserSelection = false;
    bool m_bIsChecked = false;
};

} // namespace KDAutoUpdate
