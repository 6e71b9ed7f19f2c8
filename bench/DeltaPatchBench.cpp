// Delta packages on a real pair of files (two builds of a program, say): the patch's size
// against the whole package, the time and peak memory of making it (the vendor, once) and of
// rebuilding the package from it (the agent), and the rebuild against fetching the package
// whole at 100 Mbit/s. Each step runs in a child process, so its peak memory is its own;
// medians of the rounds.
//
//   kdau_bench_delta BASE TARGET [--rounds N] [--level L]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/zstd/ZstdPatchApplier.h"
#include "platform/zstd/ZstdPatchMaker.h"

namespace {

namespace fs = std::filesystem;
using KDAutoUpdate::ZstdPatchApplier;
using KDAutoUpdate::ZstdPatchMaker;

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

// `step` in a child process: wall time and the child's peak resident memory.
Run InChild(const std::function<bool()>& step) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0)
        _exit(step() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return {};
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), static_cast<double>(usage.ru_maxrss) / 1024.0,
            WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    while (same) {
        const int ca = std::fgetc(fa);
        same = ca == std::fgetc(fb);
        if (ca == EOF)
            break;
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return same;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    int rounds = 3;
    int level = ZstdPatchMaker::kDefaultLevel;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--level" && i + 1 < argc)
            level = std::atoi(argv[++i]);
        else
            files.push_back(arg);
    }
    if (files.size() != 2) {
        std::fprintf(stderr, "usage: kdau_bench_delta BASE TARGET [--rounds N] [--level L]\n");
        return 2;
    }
    const fs::path work = fs::temp_directory_path() / ("kdau-delta-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string patch = (work / "patch.zst").string();
    const std::string rebuilt = (work / "rebuilt").string();

    std::vector<double> makeSeconds, makeMiB, applySeconds, applyMiB;
    for (int round = 0; round < rounds; ++round) {
        const Run make =
            InChild([&] { return ZstdPatchMaker::MakePatch(files[0], files[1], patch, level); });
        const Run apply = InChild([&] {
            ZstdPatchApplier applier;
            return applier.ApplyPatch(files[0], patch, rebuilt, 1ULL << 32);
        });
        if (!make.ok || !apply.ok || !SameBytes(rebuilt, files[1])) {
            std::fprintf(stderr, "round %d failed (make %d, apply %d)\n", round, make.ok, apply.ok);
            fs::remove_all(work);
            return 1;
        }
        makeSeconds.push_back(make.seconds);
        makeMiB.push_back(make.peakMiB);
        applySeconds.push_back(apply.seconds);
        applyMiB.push_back(apply.peakMiB);
    }
    const double full = static_cast<double>(fs::file_size(files[1]));
    const double patchBytes = static_cast<double>(fs::file_size(patch));
    constexpr double kBytesPerSecond = 100e6 / 8; // 100 Mbit/s
    const double rebuild = Median(applySeconds);
    std::printf("base %s (%.0f bytes)\ntarget %s (%.0f bytes)\n", files[0].c_str(),
                static_cast<double>(fs::file_size(files[0])), files[1].c_str(), full);
    std::printf("patch (level %d): %.0f bytes = %.2f %% of the package (target <= 10 %%)\n", level,
                patchBytes, 100.0 * patchBytes / full);
    std::printf("make patch: %.3f s, peak %.1f MiB (median of %d)\n", Median(makeSeconds),
                Median(makeMiB), rounds);
    std::printf("rebuild: %.3f s, peak %.1f MiB (median of %d)\n", rebuild, Median(applyMiB),
                rounds);
    std::printf("at 100 Mbit/s: whole package %.3f s; patch %.3f s + rebuild %.3f s = %.3f s\n",
                full / kBytesPerSecond, patchBytes / kBytesPerSecond, rebuild,
                patchBytes / kBytesPerSecond + rebuild);
    std::printf("rebuild / whole download: %.2f (target < 1)\n",
                rebuild / (full / kBytesPerSecond));
    fs::remove_all(work);
    return 0;
}
