// Reading the data island of a page with 10,000 messages and 10 features each: the time from
// the page's DocumentComplete to the records, against pugixml parsing the same text and
// visiting every element, both in processor time of the thread. Medians of several rounds
// (first argument, default 7).

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "agent/AuAgent.h"
#include "agent/FormInstances.h"
#include "messages_window/frmMessages.h"
#include "platform/console/ScriptedRenderer.h"
#include "tests/support/FakeBrowserControl.h"
#include "tests/support/TestPlatform.h"

using namespace KDAutoUpdate;

namespace {

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string Island(int messages, int features) {
    std::string xml = "<Messages>";
    for (int m = 0; m < messages; ++m) {
        const std::string id = "MSG-" + std::to_string(m);
        xml +=
            "<Message id=\"" + id + "\" name=\"Keldra Studio Update " + std::to_string(m) +
            "\" toVersion=\"5.1." + std::to_string(m) + "\" fileName=\"update-" + id +
            ".msp\" forProduct=\"{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}\" killProcName=\"keldra\" "
            "downloadPath=\"http://127.0.0.1/packages/update-" +
            id +
            ".msp\" compressed=\"no\" mustBePaid=\"no\" cmdLine=\"/quiet\" type=\"msp\"><Features>";
        for (int f = 0; f < features; ++f)
            xml += "<Feature name=\"Feature" + std::to_string(f) + "\" mandatory=\"" +
                   (f % 3 == 0 ? "yes" : "no") + "\" allowUserSelection=\"yes\" checked=\"" +
                   (f % 2 == 0 ? "yes" : "no") + "\" type=\"" + (f % 2 ? "modified" : "new") +
                   "\"/>";
        xml += "</Features></Message>";
    }
    return xml + "</Messages>";
}

// The processor time of this thread: on a machine shared with other work, wall time mostly
// measures how long the thread waited for a processor.
class Clock {
public:
    Clock() : m_start(Now()) {}
    double Ms() const { return Now() - m_start; }

private:
    static double Now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }
    double m_start;
};

// pugixml alone: the same text parsed, every element visited and its attributes counted.
double PugiMs(const std::string& island, std::size_t& elements) {
    const Clock start;
    pugi::xml_document doc;
    if (!doc.load_buffer(island.data(), island.size()))
        return -1;
    elements = 0;
    std::size_t attributes = 0;
    for (pugi::xml_node node = doc.first_child(); node;) {
        ++elements;
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
            ++attributes;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
    return attributes > 0 ? start.Ms() : -1;
}

// A fresh agent and messages window; the time from the page's DocumentComplete to the records.
double RecordsMs(const std::string& island, std::size_t& messages, std::size_t& features) {
    TestPlatform tp;
    FakeBrowserControl* browser = nullptr;
    ScriptedRenderer renderer(tp.loop(), [&browser]() {
        auto b = std::make_unique<FakeBrowserControl>();
        browser = b.get();
        return b;
    });
    tp.platform().forms = &renderer;
    AuAgent agent(tp.platform());
    agent.SetProductCode("{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}");
    if (!agent.DisplayMessages().ok() || !browser)
        return -1;
    frmMessages* window = FormInstances::ForThread().messages.get();
    browser->Complete(window->ProgressBrowser(),
                      std::make_shared<FakeBrowserControl::Page>("res://progress"));
    tp.loop().ProcessPendingEvents();

    auto page = std::make_shared<FakeBrowserControl::Page>("http://127.0.0.1/InitUpdate.aspx");
    page->Add("KdAutoUpdate", "xml")->SetRawSource(island);
    const Clock start;
    browser->Complete(window->PageBrowser(), page);
    const double ms = start.Ms();
    messages = window->Messages().Count();
    features = messages ? window->Messages().Item(0)->Features().Count() : 0;
    return ms;
}

// Runs `work` in a child process, so that each side starts from the same fresh heap: the
// memory one side freed does not spare the other its page faults. The child reports its
// figure through a pipe.
template <class F> double InChild(F work) {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const double ms = work();
        const bool sent = write(fds[1], &ms, sizeof ms) == static_cast<ssize_t>(sizeof ms);
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    double ms = -1;
    if (read(fds[0], &ms, sizeof ms) != static_cast<ssize_t>(sizeof ms))
        ms = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return ms;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string island = Island(10000, 10);
    std::printf("island: 10000 messages x 10 features, %.1f MiB of XML\n",
                static_cast<double>(island.size()) / (1024.0 * 1024.0));

    std::vector<double> records;
    std::vector<double> pugi;
    std::vector<double> ratios; // of each round's two sides, run one right after the other
    std::size_t elements = 0;
    const auto recordsSide = [&island] {
        return InChild([&island] {
            std::size_t messages = 0, features = 0;
            const double ms = RecordsMs(island, messages, features);
            return messages == 10000 && features == 10 ? ms : -1;
        });
    };
    const auto pugiSide = [&island, &elements] {
        return InChild([&island, &elements] { return PugiMs(island, elements); });
    };
    for (int i = 0; i < rounds; ++i) {
        // The sides take turns at going first.
        if (i % 2) {
            pugi.push_back(pugiSide());
            records.push_back(recordsSide());
        } else {
            records.push_back(recordsSide());
            pugi.push_back(pugiSide());
        }
        if (records.back() < 0 || pugi.back() < 0) {
            std::fprintf(stderr, "round %d failed\n", i);
            return 1;
        }
        ratios.push_back(records.back() / pugi.back());
    }
    std::size_t messages = 0, features = 0;
    const long before = PeakKiB();
    RecordsMs(island, messages, features);
    PugiMs(island, elements);
    std::printf("records read: %zu messages, %zu features in the first; peak memory +%ld KiB\n",
                messages, features, PeakKiB() - before);
    const double r = Median(records);
    const double p = Median(pugi);
    std::printf("DocumentComplete to records: %7.1f ms CPU\n", r);
    std::printf("pugixml parse + visit      : %7.1f ms CPU (%zu elements)\n", p, elements);
    std::printf("ratio records/pugixml: %.2f (median of the %d rounds' ratios; of the medians: "
                "%.2f)\n",
                Median(ratios), rounds, r / p);
    return 0;
}
