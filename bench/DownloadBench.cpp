// A large package through the download control from the embedded update service, against
// curl fetching the same address. Each size runs in a child process of its own, so that each
// peak memory (getrusage) belongs to one transfer: the peak must not grow with the size.
//
//   kdau_bench_download [--size BYTES[K|M|G]] [--small BYTES[K|M|G]] [--folder DIR] [--rounds N]
//
// Defaults: 1 GiB, compared against 64 MiB; each size is fetched N times (default 3) by each
// side, the times are medians. The work folder (catalogue, package and download)
// is made under DIR (default: beside the program's folder) and removed afterwards.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BenchPackage.h"
#include "ServiceThread.h"
#include "platform/portable/GermanFormat.h"
#include "platform/qt/QtDownloader.h"

using namespace KDAutoUpdate;
using namespace KDAutoUpdate::Bench;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPackageName = "bench-package.bin";

struct Options {
    long long size = 1024 * kMiB;
    long long small = 64 * kMiB;
    QString folder;
    int rounds = 3;
    bool child = false;
};

long long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// What the download dialog does with each report: the texts of its labels and caption.
class DialogLikeEvents : public IDownloadEvents {
public:
    void DownloadProgress(long long, long long percent, long long rate, long long remaining,
                          long long received, long long total, long long) override {
        ++reports;
        const std::string transferred = GermanFormat::FormatByteSize(received) + " von " +
                                        GermanFormat::FormatByteSize(total) + " übertragen";
        const std::string rateText = GermanFormat::FormatByteSize(rate) + "/Sek.";
        const std::string remainingText = GermanFormat::FormatDuration(remaining);
        message = rate > 0 ? remainingText + " (" + transferred + ")" : transferred;
        transferMessage = rate > 0 ? rateText : std::string();
        if (total > 0)
            caption = std::to_string(percent) + "% von " +
                      GermanFormat::ShortenText(kPackageName, 24) +
                      " heruntergeladen - Keldra Update Service";
    }
    void DownloadComplete(const std::string& value) override {
        done = true;
        path = value;
    }

    int reports = 0;
    std::string message;
    std::string transferMessage;
    std::string caption;
    bool done = false;
    std::string path;
};

// Wall time of curl fetching `url` into `output`; -1 when curl failed.
long long CurlMs(const QString& url, const QString& output) {
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), output, url});
    const bool ran = curl.waitForFinished(-1) && curl.exitStatus() == QProcess::NormalExit &&
                     curl.exitCode() == 0;
    return ran ? clock.elapsed() : -1;
}

long long Median(std::vector<long long> values) {
    std::sort(values.begin(), values.end());
    return values.empty() || values.front() < 0 ? -1 : values[values.size() / 2];
}

// Wall time of one download through the control into `folder`; -1 when it did not start.
long long DownloadMs(const QString& url, const std::string& folder, DialogLikeEvents& events) {
    QtDownloader downloader(folder);
    downloader.SetEvents(&events);
    QElapsedTimer clock;
    clock.start();
    if (!downloader.BeginDownload(url.toStdString(), "bench")) {
        std::fprintf(stderr, "BeginDownload refused %s\n", qPrintable(url));
        return -1;
    }
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (events.done)
            wait.quit();
    });
    poll.start(5);
    wait.exec();
    return clock.elapsed();
}

int RunOne(const Options& options) {
    QTemporaryDir work(QDir(options.folder).filePath(QStringLiteral("download-bench-XXXXXX")));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot make a work folder in %s\n", qPrintable(options.folder));
        return 1;
    }
    const fs::path root = work.path().toStdString();
    fs::create_directories(root / "catalogue" / "packages");
    std::ofstream(root / "catalogue" / "catalogue.xml") << "<?xml version=\"1.0\"?><catalogue/>\n";
    if (!WritePackage(root / "catalogue" / "packages" / kPackageName, options.size)) {
        std::fprintf(stderr, "cannot write the package\n");
        return 1;
    }
    const long long rssBefore = PeakRssKiB();

    ServiceThread service(QString::fromStdString((root / "catalogue").string()));
    if (service.BaseUrl().isEmpty()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.Error()));
        return 1;
    }
    const QString url = service.BaseUrl() + QStringLiteral("/packages/") + kPackageName;

    // Rounds take turns at going first, so neither side always meets the warmer disk cache.
    std::vector<long long> downloaderRuns;
    std::vector<long long> curlToFileRuns;
    DialogLikeEvents events;
    const QString curlFile = QString::fromStdString((root / "downloads" / "curl.bin").string());
    for (int round = 0; round < options.rounds; ++round) {
        if (round % 2 == 1)
            curlToFileRuns.push_back(CurlMs(url, curlFile));
        events = DialogLikeEvents();
        const long long ms = DownloadMs(url, (root / "downloads").string(), events);
        std::error_code error;
        const long long got =
            events.path.empty() ? -1 : static_cast<long long>(fs::file_size(events.path, error));
        if (ms < 0 || got != options.size) {
            std::fprintf(stderr, "download failed: %s (%lld bytes)\n", events.path.c_str(), got);
            return 1;
        }
        fs::remove(events.path, error);
        downloaderRuns.push_back(ms);
        if (round % 2 == 0)
            curlToFileRuns.push_back(CurlMs(url, curlFile));
        fs::remove(curlFile.toStdString(), error);
    }
    const long long rssAfter = PeakRssKiB();
    // The baseline that discards the bytes, once: what the wire gives without a disk.
    const long long curlMs = CurlMs(url, QStringLiteral("/dev/null"));
    const long long downloaderMs = Median(downloaderRuns);
    const long long curlToFileMs = Median(curlToFileRuns);

    std::printf("  last texts: \"%s\" | \"%s\" | \"%s\" (%d reports)\n", events.message.c_str(),
                events.transferMessage.c_str(), events.caption.c_str(), events.reports);
    std::printf("RESULT size=%lld downloader_ms=%lld curl_ms=%lld curl_to_file_ms=%lld "
                "peak_rss_before_kib=%lld peak_rss_kib=%lld reports=%d\n",
                options.size, downloaderMs, curlMs, curlToFileMs, rssBefore, rssAfter,
                events.reports);
    return 0;
}

struct Result {
    long long size = 0, downloaderMs = 0, curlMs = 0, curlToFileMs = 0, peakKiB = 0, reports = 0;
};

std::optional<Result> RunChild(const Options& options, long long size) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QStringLiteral("--size"), QString::number(size),
                 QStringLiteral("--folder"), options.folder, QStringLiteral("--rounds"),
                 QString::number(options.rounds)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return std::nullopt;
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    std::fputs(qPrintable(output), stdout);
    static const QRegularExpression kLine(
        QStringLiteral("RESULT size=(\\d+) downloader_ms=(\\d+) curl_ms=(-?\\d+) "
                       "curl_to_file_ms=(-?\\d+) peak_rss_before_kib=\\d+ peak_rss_kib=(\\d+) "
                       "reports=(\\d+)"));
    const auto match = kLine.match(output);
    if (!match.hasMatch())
        return std::nullopt;
    Result result;
    result.size = match.captured(1).toLongLong();
    result.downloaderMs = match.captured(2).toLongLong();
    result.curlMs = match.captured(3).toLongLong();
    result.curlToFileMs = match.captured(4).toLongLong();
    result.peakKiB = match.captured(5).toLongLong();
    result.reports = match.captured(6).toLongLong();
    return result;
}

double MiBPerSecond(long long bytes, long long ms) {
    return ms > 0 ? static_cast<double>(bytes) / kMiB * 1000.0 / static_cast<double>(ms) : 0.0;
}

double Ratio(long long ms, long long baselineMs) {
    return baselineMs > 0 ? static_cast<double>(ms) / static_cast<double>(baselineMs) : 0.0;
}

void PrintResult(const Result& r) {
    std::printf(
        "%6lld MiB  downloader %6lld ms (%5.0f MiB/s)  curl>/dev/null %6lld ms (%5.0f MiB/s, "
        "ratio %4.2f)  curl>file %6lld ms (ratio %4.2f)  peak RSS %6lld KiB  reports %lld\n",
        r.size / kMiB, r.downloaderMs, MiBPerSecond(r.size, r.downloaderMs), r.curlMs,
        MiBPerSecond(r.size, r.curlMs), Ratio(r.downloaderMs, r.curlMs), r.curlToFileMs,
        Ratio(r.downloaderMs, r.curlToFileMs), r.peakKiB, r.reports);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    options.folder =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral(".."));
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--child")) {
            options.child = true;
        } else if ((arg == QLatin1String("--size") || arg == QLatin1String("--small")) &&
                   hasValue) {
            const auto size = ParseSize(args[++i].toStdString());
            if (!size) {
                std::fprintf(stderr, "bad size: %s\n", qPrintable(args[i]));
                return 2;
            }
            (arg == QLatin1String("--size") ? options.size : options.small) = *size;
        } else if (arg == QLatin1String("--folder") && hasValue) {
            options.folder = args[++i];
        } else if (arg == QLatin1String("--rounds") && hasValue) {
            options.rounds = std::max(1, args[++i].toInt());
        } else {
            std::fprintf(stderr,
                         "usage: %s [--size BYTES[K|M|G]] [--small BYTES[K|M|G]] [--folder DIR] "
                         "[--rounds N]\n",
                         argv[0]);
            return 2;
        }
    }
    if (options.child)
        return RunOne(options);

    std::vector<Result> results;
    for (const long long size : {options.small, options.size}) {
        const auto result = RunChild(options, size);
        if (!result) {
            std::fprintf(stderr, "the run of %lld bytes failed\n", size);
            return 1;
        }
        results.push_back(*result);
    }
    std::printf("\n");
    for (const Result& r : results)
        PrintResult(r);
    const long long growth = results.back().peakKiB - results.front().peakKiB;
    std::printf("peak RSS growth from %lld MiB to %lld MiB: %lld KiB (%s)\n",
                results.front().size / kMiB, results.back().size / kMiB, growth,
                growth < 32 * 1024 ? "flat" : "GROWS WITH THE SIZE");
    return 0;
}
