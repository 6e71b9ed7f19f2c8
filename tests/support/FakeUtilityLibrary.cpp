#include "tests/support/FakeUtilityLibrary.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace KDAutoUpdate {

namespace {
// The rule the real backends use: equal names, or equal once a ".exe" suffix (any case) is
// dropped from either.
bool SameProgram(const std::string& a, const std::string& b) {
    const auto withoutExe = [](std::string name) {
        const auto lower = [](char c, char e) {
            return std::tolower(static_cast<unsigned char>(c)) == e;
        };
        if (name.size() >= 4 && std::equal(name.end() - 4, name.end(), ".exe", lower))
            name.resize(name.size() - 4);
        return name;
    };
    return !a.empty() && withoutExe(a) == withoutExe(b);
}
} // namespace

bool FakeUtilityLibrary::FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

bool FakeUtilityLibrary::RenameFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool FakeUtilityLibrary::IsProcessRunning(const std::string& processName) {
    return std::any_of(m_processes.begin(), m_processes.end(),
                       [&](const std::string& name) { return SameProgram(name, processName); });
}

bool FakeUtilityLibrary::KillProcess(const std::string& processName) {
    m_killRequests.push_back(processName);
    const auto ended =
        std::stable_partition(m_processes.begin(), m_processes.end(),
                              [&](const auto& name) { return !SameProgram(name, processName); });
    m_killed.insert(m_killed.end(), ended, m_processes.end());
    const bool any = ended != m_processes.end();
    m_processes.erase(ended, m_processes.end());
    return any;
}

} // namespace KDAutoUpdate
