#include "platform/qt/QtUtilityLibrary.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "platform/portable/DebugLog.h"
#include "platform/portable/FileIdentity.h"
#include "platform/portable/PosixFileLock.h"

namespace KDAutoUpdate {

namespace {

constexpr auto kGracePeriod = std::chrono::seconds(2);
constexpr auto kKillWait = std::chrono::seconds(1);
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// /proc/<pid>/comm holds at most this many characters of the name.
constexpr std::size_t kCommLength = 15;

std::string WithoutExe(const std::string& name) {
    if (name.size() < 4)
        return name;
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return suffix == ".exe" ? name.substr(0, name.size() - 4) : name;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The names a process is known by.
std::vector<std::string> NamesOf(const std::filesystem::path& procDir) {
    std::vector<std::string> names;
    std::string comm = ReadSmallFile(procDir / "comm");
    if (!comm.empty() && comm.back() == '\n')
        comm.pop_back();
    if (!comm.empty() && comm.size() < kCommLength)
        names.push_back(comm);
    std::error_code error;
    std::string exe = std::filesystem::read_symlink(procDir / "exe", error).string();
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() &&
        exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
        exe.resize(exe.size() - deleted.size());
    if (!error && !exe.empty())
        names.push_back(FileNameOf(exe));
    const std::string cmdline = ReadSmallFile(procDir / "cmdline");
    const std::string first = cmdline.substr(0, cmdline.find('\0'));
    if (!first.empty())
        names.push_back(FileNameOf(first));
    return names;
}

// Running, not a zombie waiting to be reaped.
bool IsAlive(int pid) {
    const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const auto paren = stat.rfind(')');
    if (paren == std::string::npos || paren + 2 >= stat.size())
        return false;
    const char state = stat[paren + 2];
    return state != 'Z' && state != 'X';
}

bool WaitForEnd(const std::vector<int>& pids, std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (std::none_of(pids.begin(), pids.end(), IsAlive))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Real, effective, saved and file-system user of a process all this user: a set-uid program
// started by the user, or a process of someone else, is never touched.
bool OwnedOnlyByUs(const std::filesystem::path& procDir, uid_t uid) {
    std::istringstream status(ReadSmallFile(procDir / "status"));
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 4, "Uid:") != 0)
            continue;
        std::istringstream ids(line.substr(4));
        int count = 0;
        for (long id; ids >> id; ++count)
            if (static_cast<uid_t>(id) != uid)
                return false;
        return count == 4;
    }
    return false;
}

int ParentOf(int pid) {
    const std::string stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const auto paren = stat.rfind(')');
    if (paren == std::string::npos)
        return 0;
    std::istringstream rest(stat.substr(paren + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    return parent;
}

// This process and the ones that started it: the host, the user's shell, the session.
std::vector<int> OwnLine() {
    std::vector<int> line;
    for (int pid = getpid(); pid > 1 && line.size() < 4096; pid = ParentOf(pid))
        line.push_back(pid);
    return line;
}

std::string ProcessDescription(int pid) {
    std::string cmdline = ReadSmallFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    return std::to_string(pid) + " (" + cmdline.substr(0, 200) + ")";
}

bool HasActiveInterface() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    return std::any_of(interfaces.begin(), interfaces.end(), [](const QNetworkInterface& i) {
        const auto flags = i.flags();
        return flags.testFlag(QNetworkInterface::IsUp) &&
               flags.testFlag(QNetworkInterface::IsRunning) &&
               !flags.testFlag(QNetworkInterface::IsLoopBack) && !i.addressEntries().isEmpty();
    });
}

} // namespace

std::optional<bool> QtUtilityLibrary::GetConnectedState(long& /*flags*/) {
    // An interface that is up with an address answers at once. Only without one is the system's
    // network information asked: its backends load plugins and reach for the system bus, which
    // costs a check at start a quarter of its time.
    if (HasActiveInterface())
        return true;
    static bool backendTried = false;
    static bool backendLoaded = false;
    if (QCoreApplication::instance()) {
        if (!backendTried) {
            backendTried = true;
            backendLoaded = QNetworkInformation::loadDefaultBackend();
        }
        if (auto* information = backendLoaded ? QNetworkInformation::instance() : nullptr) {
            switch (information->reachability()) {
            case QNetworkInformation::Reachability::Disconnected:
                return false;
            case QNetworkInformation::Reachability::Local:
            case QNetworkInformation::Reachability::Site:
            case QNetworkInformation::Reachability::Online:
                return true;
            case QNetworkInformation::Reachability::Unknown:
                break;
            }
        }
    }
    return false;
}

std::optional<bool> QtUtilityLibrary::ConnectNetwork(long /*flags*/, const std::string& /*entry*/,
                                                     long /*options*/) {
    long flags = 0;
    return GetConnectedState(flags);
}

bool QtUtilityLibrary::FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

bool QtUtilityLibrary::RenameFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

std::unique_ptr<IFileLock> QtUtilityLibrary::LockFile(const std::string& path) {
    return PosixFileLock::Acquire(path);
}

std::string QtUtilityLibrary::ResolveLinks(const std::string& path) {
    return FileIdentity::ResolveLinks(path);
}

std::string QtUtilityLibrary::FileStamp(const std::string& path) {
    return FileIdentity::Stamp(path);
}

std::vector<int> QtUtilityLibrary::FindProcesses(const std::string& processName) {
    std::vector<int> pids;
    const std::string wanted = WithoutExe(processName);
    if (wanted.empty())
        return pids;
    const uid_t uid = getuid();
    const std::vector<int> ownLine = OwnLine();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const int pid = std::stoi(name);
        struct stat info {};
        if (std::find(ownLine.begin(), ownLine.end(), pid) != ownLine.end() ||
            ::stat(entry.path().c_str(), &info) != 0 || info.st_uid != uid ||
            !OwnedOnlyByUs(entry.path(), uid))
            continue;
        const std::vector<std::string> names = NamesOf(entry.path());
        const bool match = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return WithoutExe(n) == wanted;
        });
        if (match && IsAlive(pid))
            pids.push_back(pid);
    }
    return pids;
}

bool QtUtilityLibrary::IsProcessRunning(const std::string& processName) {
    return !FindProcesses(processName).empty();
}

bool QtUtilityLibrary::KillProcess(const std::string& processName) {
    const std::vector<int> pids = FindProcesses(processName);
    if (pids.empty())
        return false;
    for (int pid : pids) {
        if (DebugLogEnabled())
            DebugLog("KillProcess " + processName + ": ending " + ProcessDescription(pid));
        ::kill(pid, SIGTERM);
    }
    if (WaitForEnd(pids, kGracePeriod))
        return true;
    for (int pid : pids)
        if (IsAlive(pid))
            ::kill(pid, SIGKILL);
    return WaitForEnd(pids, kKillWait);
}

} // namespace KDAutoUpdate
