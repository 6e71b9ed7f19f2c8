#include "platform/win32/Win32FileLock.h"

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

std::unique_ptr<IFileLock> Win32FileLock::Acquire(const std::string& path) {
    if (path.empty())
        return nullptr;
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) // a folder the user may not write to: read access locks too
        file = CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    OVERLAPPED start{}; // the lock covers byte 0; no one ever reads or writes the file
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &start)) {
        CloseHandle(file);
        return nullptr;
    }
    return std::unique_ptr<IFileLock>(new Win32FileLock(file));
}

Win32FileLock::~Win32FileLock() {
    OVERLAPPED start{};
    UnlockFileEx(m_file, 0, 1, 0, &start);
    CloseHandle(m_file);
}

} // namespace KDAutoUpdate
