#pragma once
// The utility library with a settable network, a fake process table and call counters.
// Files are the real file system's; texts are the portable German formatting.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/LoadedForms.h"
#include "platform/portable/PortableUtilityLibrary.h"

namespace KDAutoUpdate {

class FakeUtilityLibrary : public PortableUtilityLibrary {
public:
    // Network. nullopt makes the call fail (the agent passes that on as an error).
    void SetConnected(std::optional<bool> connected) { m_connected = connected; }
    // What ConnectNetwork answers; a true answer also makes the machine connected.
    void SetConnectResult(std::optional<bool> result) { m_connectResult = result; }
    int ConnectedStateCalls() const { return m_connectedStateCalls; }
    int ConnectNetworkCalls() const { return m_connectNetworkCalls; }

    // Processes, by name as a process table shows them ("setup" or "Setup.exe").
    void AddProcess(const std::string& name) { m_processes.push_back(name); }
    // Names KillProcess was called with, in order.
    const std::vector<std::string>& KillRequests() const { return m_killRequests; }
    // Names of the processes it ended.
    const std::vector<std::string>& Killed() const { return m_killed; }

    std::optional<bool> GetConnectedState(long&) override {
        ++m_connectedStateCalls;
        return m_connected;
    }
    std::optional<bool> ConnectNetwork(long, const std::string&, long) override {
        ++m_connectNetworkCalls;
        if (m_connectResult == true)
            m_connected = true;
        return m_connectResult;
    }
    bool FileExists(const std::string& path) override {
        std::error_code error;
        return !path.empty() && std::filesystem::is_regular_file(path, error);
    }
    bool RenameFile(const std::string& from, const std::string& to) override {
        std::error_code error;
        std::filesystem::rename(from, to, error);
        return !error;
    }
    bool IsProcessRunning(const std::string& processName) override {
        return std::any_of(m_processes.begin(), m_processes.end(),
                           [&](const std::string& name) { return SameProgram(name, processName); });
    }
    bool KillProcess(const std::string& processName) override {
        m_killRequests.push_back(processName);
        const auto ended =
            std::stable_partition(m_processes.begin(), m_processes.end(), [&](const auto& name) {
                return !SameProgram(name, processName);
            });
        m_killed.insert(m_killed.end(), ended, m_processes.end());
        const bool any = ended != m_processes.end();
        m_processes.erase(ended, m_processes.end());
        return any;
    }

private:
    // The rule the real backends use: equal names, or equal once a ".exe" suffix (any case) is
    // dropped from either.
    static bool SameProgram(const std::string& a, const std::string& b) {
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

    std::optional<bool> m_connected = true;
    std::optional<bool> m_connectResult = true;
    int m_connectedStateCalls = 0;
    int m_connectNetworkCalls = 0;
    std::vector<std::string> m_processes;
    std::vector<std::string> m_killRequests;
    std::vector<std::string> m_killed;
};

} // namespace KDAutoUpdate
