// What the agent adds to a host's start: a minimal Qt Widgets host that shows one window, as a
// whole process, in three kinds taking turns:
//   plain  - the host alone;
//   agent  - the host embeds the agent: it prepares the desktop application (as a host that may
//            show the agent's windows must, before its QApplication), creates the host platform
//            and an agent, sets its properties and calls CheckMessages asynchronously, then
//            shows its window;
//   eager  - as agent, but the host asks for the browser to be loaded as it prepares its
//            application (PrepareDesktopApplication(true));
//   dbus   - the host creates an agent in the D-Bus service (a private bus with
//            `kdautoupdate server` on it) through the typed client and checks the same way.
// Each reports the time from the parent's start of the process until its window is exposed, its
// processor time by then, and its memory (VmRSS and PSS) once the check has ended. The figures
// are medians over the rounds; "added" is the kind's median less the plain host's.
//
//   kdau_bench_host_start [ROUNDS]
//
// Each kind is a program of its own (HostStartHost.cpp), linked with only what that kind needs.
// The check goes to the embedded service on a thread of this process (127.0.0.1).

#include <QCoreApplication>
#include <QProcess>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "PrivateBusService.h"
#include "ServiceThread.h"
#include "service/ServeCommand.h"

using namespace KDAutoUpdate;
using namespace KDAutoUpdate::Bench;

namespace {

struct Figures {
    std::vector<double> toWindowMs, cpuMs, rssKiB, pssKiB;
};

// The parent: the kinds take turns, each in a fresh process.
int RunDriver(int rounds) {
    Bench::ServiceThread service(DefaultCatalogueFolder());
    PrivateBusService bus;
    if (service.BaseUrl().isEmpty() || !bus.ok()) {
        std::fprintf(stderr, "the services did not start\n");
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");

    const std::vector<std::string> kinds = {"plain", "agent", "eager", "dbus"};
    std::map<std::string, Figures> figures;
    for (int round = 0; round < rounds; ++round)
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            // The kinds rotate their order, so that none always follows the same one.
            const std::string& kind = kinds[(k + static_cast<std::size_t>(round)) % kinds.size()];
            QProcess host;
            host.setProcessEnvironment(env);
            host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const double start = MonotonicMs();
            host.start(QString(KDAU_HOST_FOLDER "/kdau_bench_host_") + QString::fromStdString(kind),
                       {service.BaseUrl()});
            if (!host.waitForFinished(30000) || host.exitCode() != 0) {
                std::fprintf(stderr, "the %s host failed\n", kind.c_str());
                return 1;
            }
            double exposed = 0, cpu = 0;
            long rss = 0, pss = 0;
            if (std::sscanf(host.readAllStandardOutput().constData(), "%lf %lf %ld %ld", &exposed,
                            &cpu, &rss, &pss) != 4) {
                std::fprintf(stderr, "the %s host printed no figures\n", kind.c_str());
                return 1;
            }
            Figures& f = figures[kind];
            f.toWindowMs.push_back(exposed - start);
            f.cpuMs.push_back(cpu);
            f.rssKiB.push_back(static_cast<double>(rss));
            f.pssKiB.push_back(static_cast<double>(pss));
        }

    const Figures& plain = figures["plain"];
    std::printf("a minimal Qt host's start to its first window exposed (%s), medians of %d\n",
                qPrintable(env.value("QT_QPA_PLATFORM")), rounds);
    std::printf("  %-6s %11s %11s %11s %11s\n", "host", "window ms", "cpu ms", "RSS MiB",
                "PSS MiB");
    for (const auto& kind : kinds) {
        const Figures& f = figures[kind];
        std::printf("  %-6s %11.1f %11.1f %11.1f %11.1f\n", kind.c_str(), Median(f.toWindowMs),
                    Median(f.cpuMs), Median(f.rssKiB) / 1024, Median(f.pssKiB) / 1024);
    }
    for (const auto& kind : {"agent", "eager", "dbus"}) {
        const Figures& f = figures[kind];
        std::printf(
            "  added by %-5s: window %+.1f ms, cpu %+.1f ms, RSS %+.1f MiB, PSS %+.1f MiB\n", kind,
            Median(f.toWindowMs) - Median(plain.toWindowMs), Median(f.cpuMs) - Median(plain.cpuMs),
            (Median(f.rssKiB) - Median(plain.rssKiB)) / 1024,
            (Median(f.pssKiB) - Median(plain.pssKiB)) / 1024);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    QCoreApplication app(argc, argv);
    return RunDriver(rounds);
}
