#include "platform/pugixml/DurableFile.h"

#include <filesystem>

#ifdef _WIN32
#include <fstream>
#include <process.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace KDAutoUpdate::DurableFile {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempInfix = ".tmp";

bool IsDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Removes each "<path>.tmp<digits>" file for whose digits (a writer's process id) `stale`
// answers true.
void RemoveTemporaries(const std::string& path,
                       const std::function<bool(const std::string& pid)>& stale) {
    const fs::path target(path);
    const std::string prefix = target.filename().string() + kTempInfix;
    std::error_code error;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string pid = name.substr(prefix.size());
        if (!IsDigits(pid) || !stale(pid))
            continue;
        std::error_code ignored;
        fs::remove(entry.path(), ignored);
    }
}

} // namespace

#ifdef _WIN32

// Windows: write, flush and rename over the old file; no folder flush, no mode to keep.
bool Replace(const std::string& path, const std::string& content) {
    RemoveStaleTemporaries(path);
    const std::string temp = path + kTempInfix + std::to_string(::_getpid());
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
        file.flush();
        if (!file) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temp, path, error);
    if (error)
        fs::remove(temp, error);
    return !error;
}

// Windows: a temporary file still open by its writer cannot be removed, so every one that can
// is a leftover.
void RemoveStaleTemporaries(const std::string& path) {
    RemoveTemporaries(path, [](const std::string&) { return true; });
}

#else

namespace {

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The rename itself lives in the folder's entry list: flush that too.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A folder that takes no new file may still hold a file the user can write: then the file is
// overwritten where it is. The content is made whole first, so a producer that fails leaves
// the file as it was; only a crash during the write itself can leave it short.
bool WriteInPlace(const std::string& path,
                  const std::function<bool(const PieceWriter&)>& produce) {
    std::string content;
    const PieceWriter collect = [&content](const std::string& piece) {
        content += piece;
        return true;
    };
    if (!produce(collect))
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool Replace(const std::string& path, const std::string& content) {
    return Replace(path, [&content](const PieceWriter& write) { return write(content); });
}

bool Replace(const std::string& path, const std::function<bool(const PieceWriter&)>& produce) {
    RemoveStaleTemporaries(path);
    const fs::path target(path);
    const std::string temp = path + kTempInfix + std::to_string(::getpid());
    mode_t mode = 0666; // narrowed by the umask for a new file
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    if (existed)
        mode = old.st_mode & 07777;
    ::unlink(temp.c_str()); // a leftover of this process id, or a planted link
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        const bool folderRefused = errno == EACCES || errno == EPERM;
        return folderRefused && existed && S_ISREG(old.st_mode) && WriteInPlace(path, produce);
    }
    const PieceWriter write = [fd](const std::string& piece) { return WriteAll(fd, piece); };
    bool ok = (!existed || ::fchmod(fd, mode) == 0) && produce(write) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        SyncFolder(target.parent_path()); // the new file's entry is on disk before the switch
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(target.parent_path());
    return true;
}

void RemoveStaleTemporaries(const std::string& path) {
    RemoveTemporaries(path, [](const std::string& pid) {
        if (pid.size() > 9)
            return false;
        const pid_t writer = static_cast<pid_t>(std::stol(pid));
        // A live writer other than this process may be saving right now.
        return writer == ::getpid() || (::kill(writer, 0) != 0 && errno == ESRCH);
    });
}

#endif

} // namespace KDAutoUpdate::DurableFile
