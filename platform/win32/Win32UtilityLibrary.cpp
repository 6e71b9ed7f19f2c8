#include "platform/win32/Win32UtilityLibrary.h"

#include <tlhelp32.h>
#include <wininet.h>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

constexpr DWORD kKillWaitMs = 3000;

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring WithExe(const std::string& name) {
    std::wstring wide = Widen(name);
    if (wide.size() < 4 || !SameName(wide.substr(wide.size() - 4), L".exe"))
        wide += L".exe";
    return wide;
}

} // namespace

std::optional<bool> Win32UtilityLibrary::GetConnectedState(long& /*flags*/) {
    DWORD how = 0;
    return InternetGetConnectedState(&how, 0) != FALSE;
}

std::optional<bool> Win32UtilityLibrary::ConnectNetwork(long /*flags*/,
                                                        const std::string& /*entry*/,
                                                        long /*options*/) {
    // Asks the system to dial or otherwise connect when it is configured to; then re-reads.
    InternetAttemptConnect(0);
    long flags = 0;
    return GetConnectedState(flags);
}

bool Win32UtilityLibrary::FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<DWORD> Win32UtilityLibrary::FindProcesses(const std::string& processName) {
    std::vector<DWORD> ids;
    if (processName.empty())
        return ids;
    const std::wstring wanted = WithExe(processName);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID != self && SameName(entry.szExeFile, wanted))
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

bool Win32UtilityLibrary::IsProcessRunning(const std::string& processName) {
    return !FindProcesses(processName).empty();
}

bool Win32UtilityLibrary::KillProcess(const std::string& processName) {
    bool all = true;
    const std::vector<DWORD> ids = FindProcesses(processName);
    for (DWORD id : ids) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) {
            all = false;
            continue;
        }
        all = TerminateProcess(process, 1) &&
              WaitForSingleObject(process, kKillWaitMs) == WAIT_OBJECT_0 && all;
        CloseHandle(process);
    }
    return !ids.empty() && all;
}

} // namespace KDAutoUpdate
