#pragma once

#include "service/CatalogueMessage.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace KDAutoUpdate {

// The answer of /CheckUpdate.aspx: <CheckUpdate count="N" msgs="STAMP"> with one <Message>
// child per offer (id, name, toVersion, type) for hosts that look at the markup.
QByteArray BuildCheckResponse(const QList<const CatalogueMessage*>& offers);

// Identifies a set of offered messages: the first 12 hex digits of the SHA-1 of the sorted,
// lower-cased ids. The same set gives the same stamp in any order; no offer gives "".
QString MessageStamp(const QList<const CatalogueMessage*>& offers);

} // namespace KDAutoUpdate
