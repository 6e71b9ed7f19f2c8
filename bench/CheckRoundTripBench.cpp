// What a host pays at every start, as whole processes on 127.0.0.1, side by side in one run:
//   - a check round trip: `kdautoupdate check` (create an agent, check synchronously, release)
//     against `curl -s` of the same URL;
//   - the program's start alone: `kdautoupdate help` against `curl --version`;
// and which shared libraries a check loads (the dynamic loader's own account, LD_DEBUG=libs).
// Prints the median of each and the ratios.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TimeProcess(const QString& program, const QStringList& args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
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

    std::vector<double> agent, curl, help, curlVersion;
    for (int i = 0; i < rounds; ++i) {
        agent.push_back(TimeProcess(KDAU_APP_PATH, check));
        curl.push_back(TimeProcess("curl", {"-s", "-o", "/dev/null", "-g", url}));
        help.push_back(TimeProcess(KDAU_APP_PATH, {"help"}));
        curlVersion.push_back(TimeProcess("curl", {"--version"}));
        service.readAll();
    }
    const double a = Median(agent), c = Median(curl), h = Median(help), v = Median(curlVersion);
    std::printf("medians of %d whole processes, side by side\n", rounds);
    std::printf("  kdautoupdate check (create, synchronous check, release): %7.2f ms\n", a);
    std::printf("  curl -s of the same URL on 127.0.0.1                   : %7.2f ms\n", c);
    std::printf("  ratio check/curl: %.2f (target 1.5)\n", a / c);
    std::printf("  kdautoupdate help                                      : %7.2f ms\n", h);
    std::printf("  curl --version                                         : %7.2f ms\n", v);
    std::printf("  ratio help/curl --version: %.2f (target 1.2)\n", h / v);

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
