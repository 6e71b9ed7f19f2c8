#pragma once

#include <QString>

namespace KDAutoUpdate {

// One installer feature of a patch message, as the catalogue describes it.
struct CatalogueFeature {
    QString name;  // installer feature name, unique within its message
    QString label; // German text shown next to the chooser
    bool isModified = false;
    bool mandatory = false;
    bool allowUserSelection = true;
    bool checked = true;
};

} // namespace KDAutoUpdate
