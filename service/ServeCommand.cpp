#include "service/ServeCommand.h"

#include "service/Catalogue.h"
#include "service/ServiceWorkers.h"
#include "service/SigningOption.h"
#include "service/UpdateService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QTextStream>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace KDAutoUpdate {

namespace {

constexpr const char* kUsage =
    "Usage: kdautoupdate serve [--port N] [--catalogue DIR] [--address A] [--rate BYTES] "
    "[--cut-after BYTES] [--hang-check] [--log] [--public-url URL] [--signing-key FILE]\n"
    "       [--workers N|auto]\n"
    "  --port N          port to listen on (default 8080, 0 picks a free port)\n"
    "  --catalogue DIR   catalogue folder (default: catalogue/ beside the program)\n"
    "  --address A       address to listen on (default 127.0.0.1)\n"
    "  --rate BYTES      send packages at no more than BYTES per second (test aid)\n"
    "  --cut-after BYTES close the connection of the first package answer after BYTES\n"
    "                    of its body (test aid for resumed downloads)\n"
    "  --hang-check      never answer /CheckUpdate.aspx (test aid for timeouts)\n"
    "  --log             print one line per request (written in batches)\n"
    "  --signing-key FILE  sign answers and packages with this key (kdautoupdate keygen)\n"
    "  --workers N|auto  threads that serve the port, each with its own copy of the\n"
    "                    catalogue (default 1; auto: one for each processor)\n"

    "  --public-url URL  scheme, host and port the page's links use (default: the address\n"
    "                    it listens on)\n";

struct ServeArguments {
    quint16 port = 8080;
    QString catalogue;
    QHostAddress address = QHostAddress::LocalHost;
    qint64 rate = 0;
    qint64 cutAfter = 0;
    bool hangCheck = false;
    bool log = false;
    bool help = false;
    QString publicUrl;
    int workers = 1;
};

// Fills `arguments` from `args`; returns the problem when there is one.
std::optional<QString> Parse(const QStringList& args, ServeArguments& arguments) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString option = args[i];
        std::optional<QString> inlineValue;
        if (const qsizetype equals = option.indexOf(u'='); option.startsWith(u"--") && equals > 0) {
            inlineValue = option.mid(equals + 1);
            option = option.left(equals);
        }
        auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (option == u"--help" || option == u"-h") {
            arguments.help = true;
        } else if (option == u"--hang-check") {
            arguments.hangCheck = true;
        } else if (option == u"--log") {
            arguments.log = true;
        } else if (option == u"--port" || option == u"--rate" || option == u"--catalogue" ||
                   option == u"--cut-after" || option == u"--address" ||
                   option == u"--public-url" || option == u"--workers") {
            const std::optional<QString> text = value();
            if (!text)
                return QStringLiteral("%1 needs a value").arg(option);
            bool ok = false;
            if (option == u"--port") {
                const uint port = text->toUInt(&ok);
                if (!ok || port > 65535)
                    return QStringLiteral("bad port '%1' (0 to 65535)").arg(*text);
                arguments.port = static_cast<quint16>(port);
            } else if (option == u"--rate") {
                arguments.rate = text->toLongLong(&ok);
                if (!ok || arguments.rate <= 0)
                    return QStringLiteral("bad rate '%1' (bytes per second, above 0)").arg(*text);
            } else if (option == u"--cut-after") {
                arguments.cutAfter = text->toLongLong(&ok);
                if (!ok || arguments.cutAfter <= 0)
                    return QStringLiteral("bad cut '%1' (bytes, above 0)").arg(*text);
            } else if (option == u"--workers") {
                const int count = *text == u"auto" ? QThread::idealThreadCount() : text->toInt(&ok);
                if ((*text != u"auto" && !ok) || count < 1 || count > 64)
                    return QStringLiteral("bad workers '%1' (1 to 64, or auto)").arg(*text);
                arguments.workers = count;
            } else if (option == u"--catalogue") {
                arguments.catalogue = *text;
            } else if (option == u"--public-url") {
                const QUrl url(*text, QUrl::StrictMode);
                if (!url.isValid() || url.host().isEmpty() ||
                    (url.scheme() != u"http" && url.scheme() != u"https"))
                    return QStringLiteral("bad public URL '%1' (http or https, with a host)")
                        .arg(*text);
                arguments.publicUrl = *text;
            } else if (*text == u"localhost") {
                arguments.address = QHostAddress::LocalHost;
            } else if (!arguments.address.setAddress(*text)) {
                return QStringLiteral("bad address '%1'").arg(*text);
            }
        } else {
            return QStringLiteral("unknown option '%1'").arg(args[i]);
        }
    }
    return std::nullopt;
}

} // namespace

QString DefaultCatalogueFolder() {
    // Beside the program (a build tree), the installed sample, then the source tree's.
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& folder :
         {program.filePath(QStringLiteral("catalogue")),
          program.filePath(QStringLiteral(KDAU_BIN_TO_DATA "/catalogue"))}) {
        if (QFileInfo(QDir(folder).filePath(QLatin1String(Catalogue::kFileName))).isFile())
            return QDir::cleanPath(folder);
    }
    return QStringLiteral(KDAU_SOURCE_DIR "/service/catalogue");
}

int RunServeCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunServeCommand(args, out, err);
}

int RunServeCommand(const QStringList& givenArgs, QTextStream& out, QTextStream& err) {
    QStringList args = givenArgs;
    std::shared_ptr<const AnswerSigner> signer;
    std::optional<QString> keyProblem = TakeSigningKeyOption(args, signer);
    ServeArguments arguments;
    if (const std::optional<QString> problem = keyProblem ? keyProblem : Parse(args, arguments)) {
        err << "serve: " << *problem << "\n" << kUsage << Qt::flush;
        return 2;
    }
    if (arguments.help) {
        out << kUsage << Qt::flush;
        return 0;
    }
    if (!QCoreApplication::instance()) {
        err << "serve: no application object" << Qt::endl;
        return 2;
    }
    ServiceOptions options;
    options.catalogueFolder =
        arguments.catalogue.isEmpty() ? DefaultCatalogueFolder() : arguments.catalogue;
    // Logging each request costs more than answering a check; it is asked for, and batched.
    options.log = arguments.log ? &out : nullptr;
    options.bufferLog = true;
    options.recordRequests = false;
    options.packageBytesPerSecond = arguments.rate;
    options.hangCheck = arguments.hangCheck;
    options.cutPackageAfterBytes = arguments.cutAfter;
    options.cutPackages = arguments.cutAfter > 0 ? 1 : 0;
    options.signer = signer;
    options.publicUrl = arguments.publicUrl;
    options.sharePort = arguments.workers > 1;
    UpdateService service(options);
    if (!service.IsCatalogueLoaded() || !service.Start(arguments.address, arguments.port)) {
        err << "serve: " << service.ErrorString() << Qt::endl;
        return 2;
    }
    // The others take the port this one got (port 0 picks one), and its patches.
    options.deltaFolder = service.DeltaFolder();
    ServiceWorkers workers;
    QString problem;
    if (!workers.Start(arguments.workers - 1, options, arguments.address, service.Port(),
                       arguments.log, problem)) {
        err << "serve: " << problem << Qt::endl;
        return 2;
    }
    out << service.BaseUrl() << Qt::endl;
    return QCoreApplication::exec();
}

} // namespace KDAutoUpdate
