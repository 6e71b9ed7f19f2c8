#pragma once

#include "service/Catalogue.h"
#include "service/PublishedAnswers.h"

#include <QString>

#include <optional>

namespace KDAutoUpdate {

// Renders a catalogue into static files that any web server can serve with the embedded
// service's answers:
//   check/NAME.xml, page/NAME.html  the check answer and the message page of each distinct
//                                   offer: per product, for every version the catalogue
//                                   names, between and around them, and without a version
//   packages/, info/                copies of the catalogue's files
//   deltas/                         patches of packages from the bases the catalogue names
//   not-found.html                  the page of an unknown address
//   NAME.gz                         beside each text file above: its gzip form, when smaller
// The pages' links start with `publicUrl` (scheme, host and port), as the service's do with its
// own public URL; they never depend on the request.
class CataloguePublisher {
public:
    // Writes into `folder` (made if missing); the table of answers, or nothing with `error` set.
    static std::optional<PublishedAnswers> Publish(const Catalogue& catalogue,
                                                   const QString& folder, const QString& publicUrl,
                                                   QString* error);
};

} // namespace KDAutoUpdate
