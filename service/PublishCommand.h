#pragma once

#include <QStringList>

class QTextStream;

namespace KDAutoUpdate {

// `kdautoupdate publish CATALOGUE DIR [--listen ADDRESS:PORT]`: renders the catalogue into DIR
// as static files with an nginx configuration (DIR/nginx.conf). Exit code 0, or 2 with the
// reason on `err`.
int RunPublishCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace KDAutoUpdate
