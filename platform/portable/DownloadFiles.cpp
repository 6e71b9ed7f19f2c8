#include "platform/portable/DownloadFiles.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/NetworkLimits.h"

namespace KDAutoUpdate::DownloadFolder {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxNameBytes = 200;
constexpr std::size_t kMaxExtensionBytes = 16;
constexpr const char* kFallbackName = "download.bin";

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Cuts `text` to at most `bytes` without splitting a UTF-8 sequence.
std::string Truncated(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && IsContinuationByte(text[end]))
        --end;
    return text.substr(0, end);
}

// Drops C0 controls, DEL and the C1 controls (U+0080..U+009F as UTF-8).
std::string WithoutControls(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            continue;
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Paths as UTF-8 on every system (the narrow path of Windows is in its ANSI code page).
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Windows opens a device for these names, whatever extension follows.
bool IsDeviceName(const std::string& name) {
    static constexpr std::array<const char*, 22> kDevices = {
        "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
        "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
    std::string stem = name.substr(0, name.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return std::find_if(kDevices.begin(), kDevices.end(),
                        [&](const char* d) { return stem == d; }) != kDevices.end();
}

// The names in `folder` of what `keep` names: bare names as they are, paths only when their
// folder is this one (however the path spells it).
std::set<std::string> KeptNames(const fs::path& folder, const std::vector<std::string>& keep) {
    std::set<std::string> names;
    for (const std::string& entry : keep) {
        const fs::path path = PathOf(entry);
        if (!path.has_filename())
            continue;
        std::error_code error;
        if (!path.has_parent_path() || fs::equivalent(path.parent_path(), folder, error))
            names.insert(Utf8Of(path.filename()));
    }
    return names;
}

} // namespace

bool IsSpecial(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || std::strchr("\"'`$&|;<>()*?!#%^{}[]\\:", c) != nullptr;
}

bool IsCommandLineSafe(const std::string& path) {
    return std::none_of(path.begin(), path.end(), IsSpecial);
}

std::string Plain(std::string name) {
    std::replace_if(name.begin(), name.end(), IsSpecial, '_');
    return name;
}

std::string SafeFileName(const std::string& decodedSegment) {
    std::string name = WithoutControls(decodedSegment);
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    for (std::size_t dots = name.find(".."); dots != std::string::npos; dots = name.find(".."))
        name.erase(dots, 1);
    name.erase(0, name.find_first_not_of('.'));
    name = Plain(name);
    if (name.size() > kMaxNameBytes) {
        const std::size_t dot = name.rfind('.');
        const std::size_t extension = dot == std::string::npos ? 0 : name.size() - dot;
        if (extension > 1 && extension <= kMaxExtensionBytes)
            name = Truncated(name.substr(0, dot), kMaxNameBytes - extension) + name.substr(dot);
        else
            name = Truncated(name, kMaxNameBytes);
    }
    // Windows drops a trailing dot from a name, which would then differ from the one reported.
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    if (IsDeviceName(name))
        name.insert(0, "_");
    return name.empty() ? kFallbackName : name;
}

std::string ProductFolder(const std::string& folder, const std::string& productCode) {
    // A product code is a GUID in braces: the folder is named by the GUID alone.
    std::string name = productCode;
    if (name.size() >= 2 && name.front() == '{' && name.back() == '}')
        name = name.substr(1, name.size() - 2);
    if (folder.empty() || name.empty())
        return folder;
    return Utf8Of(PathOf(folder) / PathOf(SafeFileName(name)));
}

void Tidy(const std::string& folder, const NetworkLimits& limits,
          const std::vector<std::string>& keep) {
    struct Package {
        fs::path path;
        fs::file_time_type written;
    };
    std::vector<Package> packages;
    const auto now = fs::file_time_type::clock::now();
    const std::set<std::string> kept = KeptNames(PathOf(folder), keep);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(PathOf(folder), error)) {
        const std::string name = Utf8Of(entry.path().filename());
        std::error_code ignored;
        if (kept.count(name) != 0 || !entry.is_regular_file(ignored))
            continue;
        const fs::file_time_type written = entry.last_write_time(ignored);
        if (ignored)
            continue;
        const bool part = EndsWith(name, kPartSuffix);
        if (part || EndsWith(name, kResumeSuffix)) {
            // A partial file with its record is worth resuming for as long as a package is kept.
            const std::string stem =
                name.substr(0, name.size() - std::strlen(part ? kPartSuffix : kResumeSuffix));
            const bool paired = fs::is_regular_file(
                entry.path().parent_path() / PathOf(stem + (part ? kResumeSuffix : kPartSuffix)),
                ignored);
            const auto age = paired ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::hours(24) * limits.keepPackagesDays)
                                    : std::chrono::milliseconds(limits.stalePartialMs);
            if (now - written > age || (!part && !paired))
                fs::remove(entry.path(), ignored);
            continue;
        }
        packages.push_back({entry.path(), written});
    }
    std::sort(packages.begin(), packages.end(),
              [](const Package& a, const Package& b) { return a.written > b.written; });
    const auto maxAge = std::chrono::hours(24) * limits.keepPackagesDays;
    // The file about to arrive counts as one of the kept ones.
    const std::size_t room = static_cast<std::size_t>(std::max(0, limits.maxKeptPackages - 1));
    for (std::size_t i = 0; i < packages.size(); ++i) {
        std::error_code ignored;
        if (i >= room || now - packages[i].written > maxAge)
            fs::remove(packages[i].path, ignored);
    }
}

} // namespace KDAutoUpdate::DownloadFolder
