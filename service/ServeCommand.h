#pragma once

#include <QStringList>

class QTextStream;

namespace KDAutoUpdate {

// `serve`: runs the embedded update service until the process is ended.
//   [--port N] [--catalogue DIR] [--address A] [--rate BYTES] [--hang-check]
// `args` are the options that follow the subcommand. Needs a QCoreApplication (the caller
// creates it) and runs its event loop. The first line on `out` is the service's base URL, then
// one line per request. Bad options, a catalogue that cannot be read or a port that cannot be
// opened print a message on `err` and return 2.
int RunServeCommand(const QStringList& args);
int RunServeCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// The catalogue `serve` uses without --catalogue: "catalogue" beside the program, else the
// sample catalogue of the source tree.
QString DefaultCatalogueFolder();

} // namespace KDAutoUpdate
