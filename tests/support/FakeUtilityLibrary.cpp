#include "tests/support/FakeUtilityLibrary.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/LoadedForms.h"
#include "platform/portable/GermanFormat.h"
#include "platform/portable/ResUrl.h"

namespace KDAutoUpdate {

namespace {
std::string WithoutExe(const std::string& name) {
    if (name.size() < 4)
        return name;
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return suffix == ".exe" ? name.substr(0, name.size() - 4) : name;
}
} // namespace

bool FakeUtilityLibrary::SameProgram(const std::string& a, const std::string& b) {
    return !a.empty() && WithoutExe(a) == WithoutExe(b);
}

bool FakeUtilityLibrary::IsFormLoaded(const std::string& formName, const LoadedForms& forms) {
    return forms.Contains(formName);
}

std::optional<bool> FakeUtilityLibrary::GetConnectedState(long& /*flags*/) {
    ++m_connectedStateCalls;
    return m_connected;
}

std::optional<bool> FakeUtilityLibrary::ConnectNetwork(long /*flags*/, const std::string& /*entry*/,
                                                       long /*options*/) {
    ++m_connectNetworkCalls;
    if (m_connectResult == true)
        m_connected = true;
    return m_connectResult;
}

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
    bool any = false;
    for (auto it = m_processes.begin(); it != m_processes.end();) {
        if (SameProgram(*it, processName)) {
            m_killed.push_back(*it);
            it = m_processes.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

std::string FakeUtilityLibrary::ResourceUrlPath(const std::string& filePath) {
    return KDAutoUpdate::ResourceUrlPath(filePath);
}

std::string FakeUtilityLibrary::FormatByteSize(long long bytes) {
    return GermanFormat::FormatByteSize(bytes);
}

std::string FakeUtilityLibrary::FormatDuration(long long& seconds) {
    return GermanFormat::FormatDuration(seconds);
}

std::string FakeUtilityLibrary::ShortenText(const std::string& text, short& maxLength) {
    return GermanFormat::ShortenText(text, maxLength);
}

} // namespace KDAutoUpdate
