#pragma once

#include "service/CatalogueMessage.h"

#include <QList>
#include <QString>

namespace KDAutoUpdate {

// One product of the catalogue with its messages in catalogue order.
struct CatalogueProduct {
    QString code; // as written in the catalogue, usually with braces
    QString name;
    QList<CatalogueMessage> messages;
};

} // namespace KDAutoUpdate
