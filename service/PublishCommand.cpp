#include "service/PublishCommand.h"

#include "service/CataloguePublisher.h"
#include "service/NginxConfiguration.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace KDAutoUpdate {

namespace {

constexpr const char* kUsage =
    "Usage: kdautoupdate publish CATALOGUE DIR [--listen ADDRESS:PORT] [--public-url URL]\n"
    "  renders the catalogue folder into DIR as static files for any web server, with\n"
    "  DIR/nginx.conf serving them (run: nginx -p RUNTIME_DIR -c DIR/nginx.conf)\n"
    "  --listen A:P   what nginx listens on (default 127.0.0.1:8080)\n"
    "  --public-url URL  scheme, host and port the pages' links use (default: http://A:P)\n";

} // namespace

int RunPublishCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QStringList folders;
    QString listen = QStringLiteral("127.0.0.1:8080");
    QString publicUrl;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--listen" && i + 1 < args.size()) {
            listen = args[++i];
        } else if (args[i] == u"--public-url" && i + 1 < args.size()) {
            publicUrl = args[++i];
        } else if (args[i] == u"--help" || args[i] == u"-h") {
            out << kUsage << Qt::flush;
            return 0;
        } else if (args[i].startsWith(u"--") || folders.size() == 2) {
            err << "publish: unexpected argument '" << args[i] << "'\n" << kUsage << Qt::flush;
            return 2;
        } else {
            folders << args[i];
        }
    }
    if (folders.size() != 2) {
        err << "publish: needs a catalogue folder and a target folder\n" << kUsage << Qt::flush;
        return 2;
    }
    QString error;
    const std::optional<Catalogue> catalogue = Catalogue::Load(folders[0], &error);
    const QString target = QDir(folders[1]).absolutePath();
    std::optional<PublishedAnswers> answers;
    if (catalogue && QDir().mkpath(target))
        answers = CataloguePublisher::Publish(
            *catalogue, target, publicUrl.isEmpty() ? QStringLiteral("http://") + listen : publicUrl,
            &error);
    QFile config(QDir(target).filePath(QStringLiteral("nginx.conf")));
    if (answers && !(config.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                     config.write(NginxConfiguration::Text(*answers, target, listen)) > 0))
        error = QStringLiteral("cannot write %1").arg(config.fileName());
    if (!answers || !error.isEmpty()) {
        err << "publish: " << (error.isEmpty() ? QStringLiteral("cannot make ") + target : error)
            << Qt::endl;
        return 2;
    }
    out << config.fileName() << Qt::endl;
    return 0;
}

} // namespace KDAutoUpdate
