// One start of the minimal Qt host of kdau_bench_host_start, built four times: without the
// agent (KDAU_HOST_KIND 0), embedding it (1), embedding it with the browser loaded as the host
// prepares its application (3: PrepareDesktopApplication(true), for hosts that start Qt
// WebEngine themselves), and through the D-Bus service's client (2). Each build links only what
// its kind needs, as a real host would.
//
//   kdau_bench_host_<kind> BASE_URL
//
// The agent kinds create an agent, set its properties and call CheckMessages asynchronously
// before they show their window. Prints, once the window has been exposed and the check has
// ended: the CLOCK_MONOTONIC time of the first expose in ms, the processor time by then in ms,
// VmRSS and PSS in KiB.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "BenchFigures.h"

#if KDAU_HOST_KIND == 1 || KDAU_HOST_KIND == 3
#define KDAU_EMBEDS_AGENT 1
#include "agent/AuAgent.h"
#include "platform/qt/HostPlatform.h"
#elif KDAU_HOST_KIND == 2
#include "AuAgentClient.h"
#endif

using namespace KDAutoUpdate::Bench;

namespace {

[[maybe_unused]] constexpr const char* kProduct = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}";

double ProcessorMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Calls `seen` at the first expose of the window it watches.
class ExposeWatch : public QObject {
public:
    explicit ExposeWatch(std::function<void()> seen) : m_seen(std::move(seen)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && m_seen) {
            m_seen();
            m_seen = nullptr;
        }
        return false;
    }

private:
    std::function<void()> m_seen;
};

#ifdef KDAU_EMBEDS_AGENT
class AgentEvents : public KDAutoUpdate::IAuAgentEvents {
public:
    explicit AgentEvents(bool& checked) : m_checked(checked) {}
    void NewMessages(long, const std::string&, const std::string&, bool& bSkipDialog) override {
        bSkipDialog = true; // the host shows a notice of its own
        m_checked = true;
    }
    void ProcessCompleted() override { m_checked = true; }

private:
    bool& m_checked;
};
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    [[maybe_unused]] const QString baseUrl = QString::fromLocal8Bit(argv[1]);
    bool checked = KDAU_HOST_KIND == 0;
#ifdef KDAU_EMBEDS_AGENT
    // A host that may show the agent's windows prepares for them before its QApplication.
    KDAutoUpdate::HostPlatform::PrepareDesktopApplication(KDAU_HOST_KIND == 3);
#endif
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

#ifdef KDAU_EMBEDS_AGENT
    KDAutoUpdate::HostPlatform platform(KDAutoUpdate::UiMode::Desktop);
    AgentEvents events(checked);
    KDAutoUpdate::AuAgent agent(platform.platform(), &events);
    agent.SetBaseURL(baseUrl.toStdString());
    agent.SetProductCode(kProduct);
    agent.SetMajorVer(5);
    agent.SetMinorVer(0);
    agent.SetRevision(2);
    if (!agent.CheckMessages(false, true, true).ok())
        return 1;
#elif KDAU_HOST_KIND == 2
    KDAutoUpdate::Client::AuAgentClient agent;
    if (!agent.isValid())
        return 1;
    agent.setBaseURL(baseUrl);
    agent.setProductCode(kProduct);
    agent.setVersion(5, 0, 2);
    QObject::connect(&agent, &KDAutoUpdate::Client::AuAgentClient::newMessages,
                     [&checked](int, const QString&, const QString&, bool* skip) {
                         *skip = true;
                         checked = true;
                     });
    if (!agent.checkMessages())
        return 1;
#endif

    QWidget window;
    window.resize(640, 480);
    window.setWindowTitle("host");
    window.winId(); // the native window exists now, so its expose can be watched
    double exposedMs = 0;
    double cpuMs = 0;
    ExposeWatch watch([&] {
        exposedMs = MonotonicMs();
        cpuMs = ProcessorMs();
    });
    window.windowHandle()->installEventFilter(&watch);
    window.show();

    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (exposedMs > 0 && checked)
            app.quit();
    });
    poll.start();
    QTimer::singleShot(15000, [&] { app.exit(1); });
    if (app.exec() != 0)
        return 1;
    std::printf("%.3f %.3f %ld %ld\n", exposedMs, cpuMs, ProcKiB("/proc/self/status", "VmRSS"),
                ProcKiB("/proc/self/smaps_rollup", "Pss"));
    return 0;
}
