// What a host pays at every start, as whole processes on 127.0.0.1, side by side in one run:
//   - a check round trip: `kdautoupdate check` (create an agent, check synchronously, release)
//     against `curl -s` of the same URL;
//   - the program's start alone: `kdautoupdate help` against `curl --version`;
// and which shared libraries a check loads (the dynamic loader's own account, LD_DEBUG=libs).
// Prints the medians of each, in wall time and in processor time (user + system, which a busy
// machine disturbs less), and their ratios.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double CpuMs(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

struct Samples {
    std::vector<double> wall, cpu;
};

// Wall time of the whole process, and the processor time it used (its own and its children's,
// counted once the process has been waited for).
void TimeProcess(Samples& samples, const QString& program, const QStringList& args) {
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    samples.wall.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    getrusage(RUSAGE_CHILDREN, &after);
    samples.cpu.push_back(CpuMs(after) - CpuMs(before));
}

void Report(const char* name, const Samples& ours, const char* otherName, const Samples& other,
            double target) {
    const double wall = Median(ours.wall), otherWall = Median(other.wall);
    const double cpu = Median(ours.cpu), otherCpu = Median(other.cpu);
    std::printf("  %-58s wall %7.2f ms  cpu %6.2f ms\n", name, wall, cpu);
    std::printf("  %-58s wall %7.2f ms  cpu %6.2f ms\n", otherName, otherWall, otherCpu);
    std::printf("  ratio: wall %.2f, cpu %.2f (target %.1f)\n", wall / otherWall, cpu / otherCpu,
                target);
}

// The file names of the shared objects the loader maps for one run of the program.
QSet<QString> LoadedLibraries(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "libs");
    p.setProcessEnvironment(env);
    p.start(KDAU_APP_PATH, args);
    p.waitForFinished(60000);
    QSet<QString> names;
    static const QRegularExpression init("calling init: (\\S+)");
    for (auto it = init.globalMatch(QString::fromLocal8Bit(p.readAllStandardError()));
         it.hasNext();)
        names.insert(it.next().captured(1).section('/', -1));
    return names;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    const QString product = "6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14";

    QProcess service;
    service.start(KDAU_APP_PATH, {"serve", "--port", "0", "--catalogue",
                                  QString(KDAU_SOURCE_DIR) + "/service/catalogue"});
    if (!service.waitForReadyRead(15000)) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    const QString base = QString::fromUtf8(service.readLine()).trimmed();
    const QString url = base + "/CheckUpdate.aspx?TestMode=False&ProductCode={" + product +
                        "}&Version=5.0.2&UILang=1031&OpType=check&CompatMode=2";
    const QStringList check{"check",     "--base", base,       "--product", product,
                            "--version", "5.0.2",  "--silent", "--manual"};

    Samples agent, curl, help, curlVersion;
    for (int i = 0; i < rounds; ++i) {
        TimeProcess(agent, KDAU_APP_PATH, check);
        TimeProcess(curl, "curl", {"-s", "-o", "/dev/null", "-g", url});
        TimeProcess(help, KDAU_APP_PATH, {"help"});
        TimeProcess(curlVersion, "curl", {"--version"});
        service.readAll();
    }
    std::printf("medians of %d whole processes, side by side\n", rounds);
    Report("kdautoupdate check (create, synchronous check, release)", agent,
           "curl -s of the same URL on 127.0.0.1", curl, 1.5);
    Report("kdautoupdate help", help, "curl --version", curlVersion, 1.2);

    const QSet<QString> loaded = LoadedLibraries(check);
    QStringList heavy;
    for (const QString& name : loaded) {
        if (name.contains(QRegularExpression("Qt6(Gui|Widgets|WebEngine|HttpServer)")))
            heavy << name;
    }
    std::printf(
        "  shared objects a check loads: %lld; of Qt Gui, Widgets, WebEngine, HttpServer: %s\n",
        static_cast<long long>(loaded.size()),
        heavy.isEmpty() ? "none" : qPrintable(heavy.join(", ")));
    service.kill();
    service.waitForFinished();
    return 0;
}
