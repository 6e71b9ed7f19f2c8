// A store of 100,000 products: agent creation (load), a lookup of the last product, one
// attribute write and destruction (save), against the same work done with pugixml alone.
// Each variant runs in a child process so that its peak memory is its own.

#include <QCoreApplication>
#include <pugixml.hpp>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent/AuAgent.h"
#include "platform/LoadedForms.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtUtilityLibrary.h"

using namespace KDAutoUpdate;
namespace fs = std::filesystem;

namespace {

constexpr int kProducts = 100000;

std::string Code(int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-0000-4000-8000-%012d}", i, i);
    return buf;
}

void WriteStore(const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << "<?xml version=\"1.0\"?><update-info>";
    for (int i = 0; i < kProducts; ++i)
        out << "<product code=\"" << Code(i)
            << "\" do-not-notify-last-message=\"0\" install-last-update-on-startup=\"0\" "
               "last-checked-date=\"2024-05-17 14:03:59\" last-message-stamp=\"S"
            << i << "\" />";
    out << "</update-info>";
}

double AgentRun(const fs::path& folder) {
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    {
        QtEventLoop loop;
        QtUtilityLibrary utility;
        PugiXmlService xml(nullptr, &loop);
        LoadedForms forms;
        Platform platform;
        platform.xml = &xml;
        platform.loop = &loop;
        platform.utility = &utility;
        platform.loadedForms = &forms;
        platform.programFolder = folder.string();
        AuAgent agent(platform);
        agent.SetProductCode(Code(kProducts - 1));
        if (agent.GetProductAttribute("last-message-stamp").empty())
            std::fprintf(stderr, "lookup failed\n");
        agent.SetProductAttribute("last-update-name", "Keldra Studio 5.1");
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PugiRun(const fs::path& folder) {
    const auto start = std::chrono::steady_clock::now();
    const std::string path = (folder / "updateinfo.xml").string();
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration))
        std::fprintf(stderr, "load failed\n");
    const std::string query = "product[@code='" + Code(kProducts - 1) + "']";
    pugi::xml_node product = doc.document_element().select_node(query.c_str()).node();
    if (product.attribute("last-message-stamp").empty())
        std::fprintf(stderr, "lookup failed\n");
    product.append_attribute("last-update-name") = "Keldra Studio 5.1";
    doc.save_file(path.c_str(), "", pugi::format_raw | pugi::format_no_declaration);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Result {
    double seconds = 0;
    long peakKiB = 0;
};

// Runs `work` in a child process; its time comes back through a pipe, its peak memory from
// the kernel's accounting of the child.
template <class F> Result InChild(F work) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const double s = work();
        if (write(fds[1], &s, sizeof s) != static_cast<ssize_t>(sizeof s))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    if (read(fds[0], &r.seconds, sizeof r.seconds) != static_cast<ssize_t>(sizeof r.seconds))
        r.seconds = -1;
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    r.peakKiB = usage.ru_maxrss;
    return r;
}

// Median time and median peak memory, each on its own.
Result Median(std::vector<Result> results) {
    const std::size_t middle = results.size() / 2;
    std::nth_element(results.begin(), results.begin() + static_cast<std::ptrdiff_t>(middle),
                     results.end(),
                     [](const Result& x, const Result& y) { return x.seconds < y.seconds; });
    Result median{results[middle].seconds, 0};
    std::nth_element(results.begin(), results.begin() + static_cast<std::ptrdiff_t>(middle),
                     results.end(),
                     [](const Result& x, const Result& y) { return x.peakKiB < y.peakKiB; });
    median.peakKiB = results[middle].peakKiB;
    return median;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const fs::path folder =
        fs::temp_directory_path() / ("kdau-bench-store-" + std::to_string(getpid()));
    fs::create_directories(folder);
    WriteStore(folder / "updateinfo.xml");
    std::printf("store: %d products, %.1f MiB\n", kProducts,
                static_cast<double>(fs::file_size(folder / "updateinfo.xml")) / (1024.0 * 1024.0));

    std::vector<Result> agent;
    std::vector<Result> pugi;
    std::vector<double> ratios; // of each round's two times, taken one right after the other
    const auto agentSide = [&] {
        WriteStore(folder / "updateinfo.xml");
        agent.push_back(InChild([&] { return AgentRun(folder); }));
    };
    const auto pugiSide = [&] {
        WriteStore(folder / "updateinfo.xml");
        pugi.push_back(InChild([&] { return PugiRun(folder); }));
    };
    for (int i = 0; i < rounds; ++i) {
        // The sides take turns at going first.
        if (i % 2) {
            pugiSide();
            agentSide();
        } else {
            agentSide();
            pugiSide();
        }
        ratios.push_back(agent.back().seconds / pugi.back().seconds);
    }
    std::sort(ratios.begin(), ratios.end());
    const Result a = Median(agent);
    const Result p = Median(pugi);
    std::printf("agent   (create, lookup, write, destroy): %8.1f ms  peak %7ld KiB\n",
                a.seconds * 1000, a.peakKiB);
    std::printf("pugixml (load, select, set, save)       : %8.1f ms  peak %7ld KiB\n",
                p.seconds * 1000, p.peakKiB);
    std::printf("ratio agent/pugixml: time %.2f  peak memory %.2f  (%d rounds: the median of the "
                "rounds' time ratios, of the medians %.2f; memory of the medians)\n",
                ratios[ratios.size() / 2],
                static_cast<double>(a.peakKiB) / static_cast<double>(p.peakKiB), rounds,
                a.seconds / p.seconds);
    fs::remove_all(folder);
    return 0;
}
