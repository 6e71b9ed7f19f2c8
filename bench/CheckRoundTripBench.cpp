// A check round trip on 127.0.0.1 as a host sees it: a process that creates an agent, checks
// synchronously and releases the agent, against `curl -s` of the same URL, both as whole
// processes. Prints the median of each and their ratio.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

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

    std::vector<double> agent, curl;
    for (int i = 0; i < rounds; ++i) {
        agent.push_back(TimeProcess(KDAU_APP_PATH, {"check", "--base", base, "--product", product,
                                                    "--version", "5.0.2", "--silent", "--manual"}));
        curl.push_back(TimeProcess("curl", {"-s", "-o", "/dev/null", "-g", url}));
        service.readAll();
    }
    const double a = Median(agent);
    const double c = Median(curl);
    std::printf("check round trip, median of %d whole processes on 127.0.0.1\n", rounds);
    std::printf("  kdautoupdate check (create, synchronous check, release): %7.2f ms\n", a);
    std::printf("  curl -s of the same URL                                : %7.2f ms\n", c);
    std::printf("  ratio agent/curl: %.2f\n", a / c);
    service.kill();
    service.waitForFinished();
    return 0;
}
