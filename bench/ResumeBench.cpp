// A real package through the download control from the embedded update service, the
// connection closed by the service at 90 % of it: how much of the package the resumed transfer
// fetches again, and how long the whole download took (the retry's delay included).
//
//   kdau_bench_resume [PACKAGE] [--cut PERCENT]
//
// PACKAGE defaults to the kdautoupdate program beside this one; the cut to 90 %.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/qt/QtDownloader.h"
#include "platform/qt/QtEventLoop.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

using namespace KDAutoUpdate;

namespace {

class Completion : public IDownloadEvents {
public:
    void DownloadProgress(long long, long long, long long, long long, long long, long long,
                          long long) override {}
    void DownloadComplete(const std::string& value) override { values.push_back(value); }
    std::vector<std::string> values;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString package = QCoreApplication::applicationDirPath() + QStringLiteral("/kdautoupdate");
    int percent = 90;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--cut" && i + 1 < args.size())
            percent = args[++i].toInt();
        else
            package = args[i];
    }
    QTemporaryDir work;
    const QString catalogue = work.filePath(QStringLiteral("catalogue"));
    QDir().mkpath(catalogue + QStringLiteral("/packages"));
    QFile xml(catalogue + QStringLiteral("/catalogue.xml"));
    if (!QFile::copy(package, catalogue + QStringLiteral("/packages/package.bin")) ||
        !xml.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(package));
        return 1;
    }
    xml.write(R"(<catalogue><product code="AB" name="P">
  <message id="m1" name="One" type="exe" package="package.bin"/></product></catalogue>)");
    xml.close();
    const qint64 size = QFileInfo(package).size();
    const qint64 cut = size * percent / 100;

    ServiceOptions options{catalogue};
    options.cutPackageAfterBytes = cut;
    options.cutPackages = 1;
    UpdateService service(options);
    if (!service.Start(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    QtEventLoop loop;
    QtDownloader downloader(work.filePath(QStringLiteral("downloads")).toStdString());
    Completion completion;
    downloader.SetEvents(&completion);
    QElapsedTimer clock;
    clock.start();
    if (!downloader.BeginDownload((service.BaseUrl() + "/packages/package.bin").toStdString(),
                                  "bench") ||
        !loop.RunUntil([&] { return !completion.values.empty(); }, 120000) ||
        completion.values.front().empty()) {
        std::fprintf(stderr, "the download failed\n");
        return 1;
    }
    const long long elapsedMs = clock.elapsed();
    const long long fetched = downloader.FetchedBytes();
    const bool whole = QFileInfo(QString::fromStdString(completion.values.front())).size() == size;
    std::printf("package %s: %lld bytes, cut after %lld (%d %%)\n", qPrintable(package),
                static_cast<long long>(size), static_cast<long long>(cut), percent);
    std::printf("fetched %lld bytes in all, %lld after the cut: %.1f %% of the package fetched "
                "again (target <= 12 %%), %lld bytes twice; %lld ms with the retry's delay; "
                "file %s\n",
                fetched, fetched - cut, 100.0 * static_cast<double>(fetched - cut) /
                                            static_cast<double>(size),
                fetched - size, elapsedMs, whole ? "whole" : "WRONG SIZE");
    return whole ? 0 : 1;
}
