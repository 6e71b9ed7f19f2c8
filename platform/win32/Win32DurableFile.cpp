#include "platform/win32/Win32DurableFile.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate::Win32DurableFile {

namespace {

constexpr const wchar_t* kTempInfix = L".tmp";

bool IsDigits(const std::wstring& text) {
    if (text.empty() || text.size() > 10)
        return false;
    for (wchar_t c : text)
        if (!std::iswdigit(c))
            return false;
    return true;
}

bool IsProcessAlive(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // someone else's, still there
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

// Removes "<target>.tmp<pid>" files whose writer is gone (or is this process: its own
// leftover of an earlier, failed save).
void RemoveStaleTemporaries(const std::wstring& target) {
    const std::wstring prefix = target + kTempInfix;
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    const std::wstring namePrefix = name + kTempInfix;
    do {
        const std::wstring candidate = found.cFileName;
        if (candidate.compare(0, namePrefix.size(), namePrefix) != 0)
            continue;
        const std::wstring pid = candidate.substr(namePrefix.size());
        if (!IsDigits(pid))
            continue;
        const DWORD writer = static_cast<DWORD>(std::stoul(pid));
        if (writer == GetCurrentProcessId() || !IsProcessAlive(writer))
            DeleteFileW((folder + candidate).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool FlushToDisk(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(file) != FALSE;
    return CloseHandle(file) != FALSE && flushed;
}

} // namespace

bool Replace(const std::string& path, const std::function<bool(const std::wstring&)>& write) {
    if (path.empty())
        return false;
    const std::wstring target = Widen(path);
    RemoveStaleTemporaries(target);
    const std::wstring temp = target + kTempInfix + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(temp.c_str());
    const bool ok = write(temp) && FlushToDisk(temp) &&
                    MoveFileExW(temp.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}

} // namespace KDAutoUpdate::Win32DurableFile
