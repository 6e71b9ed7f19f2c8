// The messages window in real windows (Qt Widgets and Qt WebEngine, offscreen): the time from
// DisplayMessages() until the service page is in front, round after round against the
// embedded service with the sample catalogue, and the memory of the whole process tree (the
// WebEngine helpers included) while the page is shown.
//
//   kdau_bench_display [--rounds N] [--settle MS] [--timeout MS] [--phases] [--floor]
//
// --floor measures the toolkit's own floor instead, in the same process with the same engine
// switches and the service running: a bare off-the-record web view that shows a one-line page,
// round after round. The window's figures less the floor's are what the window itself costs.
//
// The first round is reported apart as the cold start: it pays for the engine's start and its
// helper processes. Between rounds the window is closed and the agent left to become idle.
// --phases (or KDAU_BENCH_PHASES=1) adds where each round's time went (DisplayPhases.h). The
// engine's command-line switches in force are printed with the figures.

#include <QApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/EventLoop.h"
#include "platform/qt/HostPlatform.h"
#include "platform/qt/QtWebBrowserControl.h"
#include "service/ServeCommand.h"
#include "service/ServiceOptions.h"
#include "service/UpdateService.h"

#include "DisplayPhases.h"

using namespace KDAutoUpdate;
using namespace KDAutoUpdate::Bench;
namespace fs = std::filesystem;

namespace {

constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

struct Options {
    int rounds = 10;
    long settleMs = 300;
    long timeoutMs = 60000;
    bool phases = false;
    bool floor = false;
};

class Events : public IAuAgentEvents {
public:
    void NewMessages(long, const std::string&, const std::string&, bool&) override {}
    void ProcessCompleted() override { completed = true; }
    bool completed = false;
};

// The parent of a process from /proc/PID/stat; the name before it may hold spaces and
// parentheses, so the fields are read after the last ')'.
std::optional<pid_t> ParentOf(const fs::path& statFile) {
    std::ifstream in(statFile);
    std::string text;
    std::getline(in, text);
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    std::string state;
    long parent = 0;
    if (!(fields >> state >> parent))
        return std::nullopt;
    return static_cast<pid_t>(parent);
}

struct TreeMemory {
    int processes = 0;
    long rssKiB = 0; // counts shared pages once per process
    long pssKiB = 0; // shares them out: what the tree really occupies
};

// This process and all its descendants, found through the parent links of /proc.
TreeMemory SampleTree() {
    std::map<pid_t, std::vector<pid_t>> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (const auto parent = ParentOf(entry.path() / "stat"))
            children[*parent].push_back(static_cast<pid_t>(std::stol(name)));
    }
    TreeMemory tree;
    std::vector<pid_t> pending{getpid()};
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        const fs::path dir = fs::path("/proc") / std::to_string(pid);
        ++tree.processes;
        tree.rssKiB += ProcKiB(dir / "status", "VmRSS");
        tree.pssKiB += ProcKiB(dir / "smaps_rollup", "Pss");
        const auto found = children.find(pid);
        if (found != children.end())
            pending.insert(pending.end(), found->second.begin(), found->second.end());
    }
    return tree;
}

// Each phase's time in the cold round and the median of the warm ones, with the step from the
// phase before.
void PrintPhases(const std::vector<std::map<std::size_t, double>>& rounds) {
    std::printf("phases (ms since DisplayMessages(); step from the phase before):\n");
    std::printf("  %-40s %9s %7s %9s %7s\n", "", "cold", "step", "warm", "step");
    double coldBefore = 0;
    double warmBefore = 0;
    for (std::size_t phase = 0; phase < Bench::DisplayPhases::Names().size(); ++phase) {
        const auto cold = rounds.front().find(phase);
        std::vector<double> warm;
        for (std::size_t r = 1; r < rounds.size(); ++r)
            if (const auto it = rounds[r].find(phase); it != rounds[r].end())
                warm.push_back(it->second);
        const double c = cold == rounds.front().end() ? -1 : cold->second;
        const double w = warm.empty() ? -1 : Median(warm);
        std::printf("  %-40s %9.1f %7.1f %9.1f %7.1f\n",
                    Bench::DisplayPhases::Names()[phase].c_str(), c, c < 0 ? 0 : c - coldBefore, w,
                    w < 0 ? 0 : w - warmBefore);
        if (c >= 0)
            coldBefore = c;
        if (w >= 0)
            warmBefore = w;
    }
}

bool PageInFront() {
    const frmMessages* window = FormInstances::ForThread().messages.get();
    return window && window->IsLoaded() && window->Browser() &&
           window->Browser()->VisibleBrowser() == window->PageBrowser();
}

bool ParseOptions(int argc, char** argv, Options& options) {
    // Each option takes the number after it.
    for (int i = 1; i < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--phases" || arg == "--floor") {
            (arg == "--phases" ? options.phases : options.floor) = true;
            --i;
            continue;
        }
        char* end = nullptr;
        const long value = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
        const bool numeric = end && *end == '\0' && value >= 0;
        if (arg == "--rounds" && numeric && value > 0)
            options.rounds = static_cast<int>(value);
        else if (arg == "--settle" && numeric)
            options.settleMs = value;
        else if (arg == "--timeout" && numeric && value > 0)
            options.timeoutMs = value;
        else
            return false;
    }
    return true;
}

// Runs Qt's loop for `ms` and keeps the tree's sample with the largest RSS.
TreeMemory SettledPeak(long ms, TreeMemory peak) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        QEventLoop wait;
        QTimer::singleShot(50, &wait, &QEventLoop::quit);
        wait.exec();
        const TreeMemory sample = SampleTree();
        if (sample.rssKiB > peak.rssKiB)
            peak = sample;
    }
    return peak;
}

void PrintTimes(const std::vector<double>& times, const char* what) {
    const std::vector<double> warm(times.begin() + 1, times.end());
    std::printf("%s:\n", what);
    std::printf("  cold (round 1)           : %8.1f ms\n", times.front());
    if (!warm.empty())
        std::printf("  warm median / worst (%2zu): %8.1f ms / %.1f ms\n", warm.size(), Median(warm),
                    *std::max_element(warm.begin(), warm.end()));
}

void PrintMemory(const TreeMemory& peak) {
    std::printf("memory while the page is shown (peak over the rounds):\n");
    std::printf("  process tree: %d processes, sum of VmRSS %ld KiB (%.1f MiB), sum of PSS %ld "
                "KiB (%.1f MiB)\n",
                peak.processes, peak.rssKiB, static_cast<double>(peak.rssKiB) / 1024.0, peak.pssKiB,
                static_cast<double>(peak.pssKiB) / 1024.0);
}

// The floor: what the engine costs for the least a window can show.
int RunFloor(const Options& options) {
    QtWebBrowserControl::RegisterSchemes();
    std::printf("a bare web view, %d rounds\n", options.rounds);
    std::printf("engine switches: QTWEBENGINE_CHROMIUM_FLAGS=\"%s\"\n",
                qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").constData());
    QWebEngineProfile profile; // off the record, as the window's
    std::vector<double> times;
    TreeMemory peak;
    for (int round = 0; round < options.rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        QWebEngineView view;
        auto* page = new QWebEnginePage(&profile, &view);
        view.setPage(page);
        view.resize(640, 480);
        view.show();
        bool loaded = false;
        QEventLoop wait;
        QObject::connect(page, &QWebEnginePage::loadFinished, &wait, [&](bool ok) {
            loaded = ok;
            wait.quit();
        });
        QTimer::singleShot(options.timeoutMs, &wait, &QEventLoop::quit);
        page->setHtml(QStringLiteral("<!DOCTYPE html><html><body><p>Hello</p></body></html>"));
        wait.exec();
        if (!loaded) {
            std::fprintf(stderr, "round %d: the page did not load\n", round + 1);
            return 1;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        const TreeMemory roundPeak = SettledPeak(options.settleMs, SampleTree());
        if (roundPeak.rssKiB > peak.rssKiB)
            peak = roundPeak;
        std::printf("  round %2d: %8.1f ms  (tree %d processes, RSS %ld KiB, PSS %ld KiB)\n",
                    round + 1, times.back(), roundPeak.processes, roundPeak.rssKiB,
                    roundPeak.pssKiB);
        std::fflush(stdout);
    }
    PrintTimes(times, "a bare view's page loaded");
    PrintMemory(peak);
    return 0;
}

int Run(const Options& options) {
    ServiceOptions serviceOptions;
    serviceOptions.catalogueFolder = DefaultCatalogueFolder();
    UpdateService service(serviceOptions);
    if (!service.Start(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "the service did not start: %s\n", qPrintable(service.ErrorString()));
        return 1;
    }
    if (options.floor)
        return RunFloor(options);

    HostPlatform host(UiMode::Desktop);
    IEventLoop& loop = *host.platform().loop;
    Events events;
    AuAgent agent(host.platform(), &events);
    agent.SetBaseURL(service.BaseUrl().toStdString());
    agent.SetProductCode(kProduct);
    agent.SetMajorVer(5);
    agent.SetMinorVer(0);
    agent.SetRevision(2);

    std::printf("messages window against %s, %d rounds, offscreen (%s)\n",
                qPrintable(service.BaseUrl()), options.rounds,
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM")));
    std::printf("engine switches: QTWEBENGINE_CHROMIUM_FLAGS=\"%s\"\n",
                qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").constData());
    std::vector<double> times;
    std::vector<std::map<std::size_t, double>> phases;
    TreeMemory peak;
    for (int round = 0; round < options.rounds; ++round) {
        events.completed = false;
        const auto start = std::chrono::steady_clock::now();
        const Outcome<> shown = agent.DisplayMessages();
        if (!shown.ok()) {
            std::fprintf(stderr, "DisplayMessages: %s\n", shown.error().description.c_str());
            return 1;
        }
        std::unique_ptr<Bench::DisplayPhases> trace;
        if (frmMessages* window = FormInstances::ForThread().messages.get();
            options.phases && window && window->Browser()) {
            trace = std::make_unique<Bench::DisplayPhases>(start);
            trace->Attach(static_cast<QtWebBrowserControl&>(*window->Browser()), *window,
                          window->PageBrowser(), window->ProgressBrowser());
        }
        if (!loop.RunUntil(PageInFront, options.timeoutMs)) {
            std::fprintf(stderr, "round %d: the service page did not come to the front\n",
                         round + 1);
            return 1;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        times.push_back(ms);
        if (trace)
            phases.push_back(trace->Times());
        const std::size_t messages = FormInstances::ForThread().messages->Messages().Count();

        // The page is shown: sample the tree now and while the engine settles.
        const TreeMemory roundPeak = SettledPeak(options.settleMs, SampleTree());
        if (roundPeak.rssKiB > peak.rssKiB)
            peak = roundPeak;
        std::printf("  round %2d: %8.1f ms  (%zu messages; tree %d processes, RSS %ld KiB, "
                    "PSS %ld KiB)\n",
                    round + 1, ms, messages, roundPeak.processes, roundPeak.rssKiB,
                    roundPeak.pssKiB);
        std::fflush(stdout);

        FormInstances::ForThread().messages->Unload();
        if (!loop.RunUntil([&] { return events.completed && !agent.IsProcessing(); }, 10000)) {
            std::fprintf(stderr, "round %d: the agent did not become idle\n", round + 1);
            return 1;
        }
    }

    PrintTimes(times, "DisplayMessages() to the service page in front");
    if (!phases.empty())
        PrintPhases(phases);
    PrintMemory(peak);
    const long hwm = ProcKiB("/proc/self/status", "VmHWM");
    std::printf("  this process: VmHWM %ld KiB (%.1f MiB)\n", hwm,
                static_cast<double>(hwm) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    options.phases = qEnvironmentVariableIntValue("KDAU_BENCH_PHASES") == 1;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--rounds N] [--settle MS] [--timeout MS] [--phases] "
                     "[--floor]\n",
                     argv[0]);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // As a host does: the browser's schemes go in when its first window opens.
    HostPlatform::PrepareDesktopApplication();
    QApplication app(argc, argv);
    return Run(options);
}
