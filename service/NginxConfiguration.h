#pragma once

#include "service/PublishedAnswers.h"

#include <QByteArray>
#include <QString>

namespace KDAutoUpdate {

// An nginx configuration that serves a published catalogue with the embedded service's
// answers: it maps ProductCode and Version of the agent's query onto the rendered files and
// puts the request's Host into the message pages. Complete, so that
//   nginx -p RUNTIME_FOLDER -c FOLDER/nginx.conf
// runs it; its own files (pid, temporary files) go below the -p folder.
class NginxConfiguration {
public:
    // `folder`: the absolute folder of the published files; `listen`: nginx's listen value
    // ("127.0.0.1:8080", "80").
    static QByteArray Text(const PublishedAnswers& answers, const QString& folder,
                           const QString& listen);
};

} // namespace KDAutoUpdate
