// A large package through AuMessage::Deploy(), once with the real download dialog (Qt Widgets,
// offscreen) and once headless (the scripted renderer), each in a child process of its own:
// the time from Deploy() until the after-download choice is shown, and each child's peak
// memory. Drawing the dialog's progress must not slow the transfer.
//
//   kdau_bench_download_dialog [--size BYTES[K|M|G]] [--repeat N]
//
// Default 512 MiB and one pair of runs; --repeat runs N pairs, alternating which kind goes
// first, and reports the medians. The catalogue offering the package, the package and the
// children's download folders (XDG_CACHE_HOME) live in a temporary folder that is removed at
// the end. The agent's store is the one beside the program, as for any host.

#include <QApplication>
#include <QCoreApplication>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BenchPackage.h"
#include "ServiceThread.h"
#include "agent/AuAgent.h"
#include "apps/kdautoupdate/QtUiDriver.h"
#include "apps/kdautoupdate/ScriptedUiDriver.h"
#include "deploy/AuMessage.h"
#include "platform/EventLoop.h"
#include "platform/qt/HostPlatform.h"
#include "platform/qt/QtWebBrowserControl.h"

extern char** environ;

using namespace KDAutoUpdate;
using namespace KDAutoUpdate::Bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";
constexpr const char* kPackageName = "KeldraStudio-Bench-Setup.exe";
constexpr const char* kMessageId = "KS-BENCH-1";

double MsSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// User and system time of all threads of this process so far.
double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// ---- the child: one deployment with one kind of user interface ----

// Notes when the two dialogs of the deployment appear, and anything that went wrong.
class Watch : public UiDriver::Observer {
public:
    void FormShown(const UiDriver::FormSnapshot& form, bool) override {
        if (form.name == "dlgDownload" && !downloadShown)
            downloadShown = Clock::now();
        else if (form.name == "dlgAfterDownload" && !afterShown)
            afterShown = Clock::now();
    }
    void FormHidden(const std::string&) override {}
    void FormUnloaded(const std::string&) override {}
    void MessageBoxShown(const std::string& text, const std::string&, MsgBoxResult) override {
        problem = "message box: " + text;
    }
    void ModalTimedOut(const std::string& formName) override {
        problem = formName + " got no answer in time";
    }

    std::optional<Clock::time_point> downloadShown;
    std::optional<Clock::time_point> afterShown;
    std::string problem;
};

int RunChild(bool desktop, const std::string& base, const std::string& url, long long size) {
    int argc = 1;
    char name[] = "kdau_bench_download_dialog";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (desktop) {
        QtWebBrowserControl::RegisterSchemes();
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // A slow transfer must not meet the scripted user's patience.
    HostPlatform host(desktop ? UiMode::Desktop : UiMode::Scripted, 3600L * 1000);
    std::unique_ptr<UiDriver> ui;
    if (desktop)
        ui = std::make_unique<QtUiDriver>(*host.Desktop(), *host.platform().loop);
    else
        ui = std::make_unique<ScriptedUiDriver>(*host.Scripted());
    Watch watch;
    ui->SetObserver(&watch);
    UiDriver* user = ui.get();
    // The last option, "do not install", and OK: nothing is started afterwards.
    ui->QueueModalAction("dlgAfterDownload", [user] {
        user->SetChecked("dlgAfterDownload", "optInstallAction", true, 2);
    });
    ui->QueueModalAction("dlgAfterDownload",
                         [user] { user->Click("dlgAfterDownload", "cmdOK", -1); });

    long long received = -1;
    double downloadMs = -1;
    double afterMs = -1;
    double deployMs = -1;
    double cpuMs = -1;
    {
        AuAgent agent(host.platform());
        agent.SetBaseURL(base);
        agent.SetProductCode(kProduct);
        agent.SetMajorVer(5);
        agent.SetMinorVer(0);
        agent.SetRevision(2);

        AuMessage message;
        message.SetAgentPtr(agent.Ptr());
        message.SetID(kMessageId);
        message.SetName("Keldra Studio Bench Setup");
        message.SetFileName(kPackageName);
        message.SetMessageType(aumtExe);
        message.SetDownloadPath(url);

        const double cpuBefore = CpuMs();
        const auto start = Clock::now();
        message.Deploy();
        deployMs = MsSince(start, Clock::now());
        cpuMs = CpuMs() - cpuBefore;
        if (watch.downloadShown)
            downloadMs = MsSince(start, *watch.downloadShown);
        if (watch.afterShown)
            afterMs = MsSince(start, *watch.afterShown);
        std::error_code error;
        if (!message.LocalPath().empty())
            received = static_cast<long long>(fs::file_size(message.LocalPath(), error));
        if (error)
            received = -1;
    }
    ui->SetObserver(nullptr);

    if (!watch.problem.empty())
        std::fprintf(stderr, "%s: %s\n", desktop ? "desktop" : "headless", watch.problem.c_str());
    if (afterMs < 0 || received != size) {
        std::fprintf(stderr, "%s: the download did not complete (%lld of %lld bytes)\n",
                     desktop ? "desktop" : "headless", received, size);
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("RESULT %.1f %.1f %.1f %.1f %ld\n", downloadMs, afterMs, deployMs, cpuMs,
                usage.ru_maxrss);
    return 0;
}

// ---- the parent: the catalogue, the service, and the two children ----

bool WriteCatalogue(const fs::path& folder) {
    std::ofstream out(folder / "catalogue.xml", std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<catalogue>\n"
           "  <product code=\""
        << kProduct
        << "\" name=\"Keldra Studio\">\n"
           "    <message id=\""
        << kMessageId
        << "\" name=\"Keldra Studio Bench Setup\" type=\"exe\"\n"
           "             toVersion=\"9.0.0\" package=\""
        << kPackageName
        << "\">\n"
           "      <description>A large package for the download benchmark.</description>\n"
           "    </message>\n"
           "  </product>\n"
           "</catalogue>\n";
    return static_cast<bool>(out);
}

struct ChildResult {
    double downloadShownMs = 0;
    double afterShownMs = 0;
    double deployMs = 0;
    double cpuMs = 0; // user and system time of the child during Deploy()
    long selfPeakKiB = 0;
    long waitPeakKiB = 0; // the kernel's account: the child and anything it waited for
};

// Runs this program again as a child with `args` and XDG_CACHE_HOME set to `cache`; its
// RESULT line comes back through a pipe, its peak memory through wait4.
std::optional<ChildResult> Spawn(const std::vector<std::string>& args, const fs::path& cache) {
    std::vector<char*> argv;
    std::vector<std::string> owned = args;
    for (std::string& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    ChildResult result;
    result.waitPeakKiB = usage.ru_maxrss;
    const auto line = output.find("RESULT ");
    if (line == std::string::npos ||
        std::sscanf(output.c_str() + line, "RESULT %lf %lf %lf %lf %ld", &result.downloadShownMs,
                    &result.afterShownMs, &result.deployMs, &result.cpuMs,
                    &result.selfPeakKiB) != 5)
        return std::nullopt;
    return result;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

void PrintRun(const char* mode, const ChildResult& r, long long size) {
    const double mibPerSecond =
        static_cast<double>(size) / kMiB / ((r.afterShownMs - r.downloadShownMs) / 1000.0);
    std::printf("  %-8s to dlgDownload %5.1f ms, to dlgAfterDownload %7.1f ms (%5.1f MiB/s), "
                "Deploy() %7.1f ms using %7.1f ms CPU; peak RSS %ld KiB (wait4 %ld KiB)\n",
                mode, r.downloadShownMs, r.afterShownMs, mibPerSecond, r.deployMs, r.cpuMs,
                r.selfPeakKiB, r.waitPeakKiB);
    std::fflush(stdout);
}

// `pairs` pairs of runs; every second pair starts with the headless run, so that neither kind
// always meets the disk after the other.
int RunParent(const std::string& self, long long size, int pairs) {
    int argc = 1;
    char name[] = "kdau_bench_download_dialog";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    const fs::path work =
        fs::temp_directory_path() / ("kdau-bench-download-dialog-" + std::to_string(getpid()));
    std::error_code error;
    fs::create_directories(work / "catalogue" / "packages", error);
    if (error || !WriteCatalogue(work / "catalogue") ||
        !WritePackage(work / "catalogue" / "packages" / kPackageName, size)) {
        std::fprintf(stderr, "cannot write the catalogue in %s\n", work.c_str());
        fs::remove_all(work, error);
        return 1;
    }

    const char* previousCache = std::getenv("XDG_CACHE_HOME");
    const std::string savedCache = previousCache ? previousCache : "";
    const char* modes[2] = {"desktop", "headless"};
    std::vector<ChildResult> results[2];
    bool failed = false;
    {
        ServiceThread service(QString::fromStdString((work / "catalogue").string()));
        if (service.BaseUrl().isEmpty()) {
            std::fprintf(stderr, "service: %s\n", qPrintable(service.Error()));
            failed = true;
        }
        const std::string base = service.BaseUrl().toStdString();
        const std::string url = base + "/packages/" + kPackageName;
        if (!failed)
            std::printf("Deploy() of a %lld MiB exe package from %s\n", size / kMiB, url.c_str());
        for (int pair = 0; pair < pairs && !failed; ++pair) {
            for (int step = 0; step < 2 && !failed; ++step) {
                const int i = pair % 2 ? 1 - step : step;
                const fs::path cache = work / (std::string("cache-") + modes[i]);
                fs::create_directories(cache, error);
                const auto result =
                    Spawn({self, "--child", modes[i], base, url, std::to_string(size)}, cache);
                fs::remove_all(cache, error);
                if (!result) {
                    std::fprintf(stderr, "the %s run failed\n", modes[i]);
                    failed = true;
                } else {
                    PrintRun(modes[i], *result, size);
                    results[i].push_back(*result);
                }
            }
        }
    }
    if (previousCache)
        ::setenv("XDG_CACHE_HOME", savedCache.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
    fs::remove_all(work, error);
    if (failed)
        return 1;

    std::vector<double> after[2];
    std::vector<double> cpu[2];
    long peak[2] = {0, 0};
    for (int i = 0; i < 2; ++i)
        for (const ChildResult& r : results[i]) {
            after[i].push_back(r.afterShownMs);
            cpu[i].push_back(r.cpuMs);
            peak[i] = std::max(peak[i], r.waitPeakKiB);
        }
    const double desktop = Median(after[0]);
    const double headless = Median(after[1]);
    const char* median = pairs > 1 ? " (median)" : "";
    std::printf("Deploy() to dlgAfterDownload%s: desktop %.1f ms, headless %.1f ms\n", median,
                desktop, headless);
    std::printf("ratio desktop/headless: %.2f\n", desktop / headless);
    std::printf("CPU during Deploy()%s: desktop %.1f ms, headless %.1f ms (ratio %.2f)\n", median,
                Median(cpu[0]), Median(cpu[1]), Median(cpu[0]) / Median(cpu[1]));
    std::printf("peak RSS of the child (wait4%s): desktop %ld KiB, headless %ld KiB\n",
                pairs > 1 ? ", highest" : "", peak[0], peak[1]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    if (argc == 6 && std::strcmp(argv[1], "--child") == 0) {
        const auto size = ParseSize(argv[5]);
        if (!size)
            return 2;
        return RunChild(std::strcmp(argv[2], "desktop") == 0, argv[3], argv[4], *size);
    }
    long long size = 512 * kMiB;
    int pairs = 1;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        std::optional<long long> value;
        if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            value = ParseSize(argv[++i]);
            size = value.value_or(size);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && hasValue) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end == '\0' && n > 0 && n <= 1000)
                value = n;
            pairs = static_cast<int>(value.value_or(1));
        }
        if (!value) {
            std::fprintf(stderr, "usage: %s [--size BYTES[K|M|G]] [--repeat N]\n", argv[0]);
            return 2;
        }
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr, "cannot find this program\n");
        return 1;
    }
    return RunParent(self.string(), size, pairs);
}
