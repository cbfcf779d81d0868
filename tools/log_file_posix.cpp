#include "tools/log_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

// Writers of a log take an exclusive flock on their open file. It belongs to
// the open file, so it also keeps out a second opening by this same process.
std::error_code LockForWriting(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {};
    if (errno == EWOULDBLOCK)
        return std::make_error_code(std::errc::device_or_resource_busy);
    return LastError();
}

std::error_code Rename(const std::string& from, const std::string& to)
{
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return LastError();
        // The file system cannot rename without replacing: link and unlink do the same.
#endif
    if (link(from.c_str(), to.c_str()) != 0)
        return LastError();
    if (unlink(from.c_str()) != 0) {
        const std::error_code failed = LastError();
        unlink(to.c_str());
        return failed;
    }
    return {};
}

} // namespace

namespace log_platform {

const std::string_view kLineEnd = "\n";

bool FileSize(const std::string& path, std::uint64_t& size)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::error_code OpenForAppend(const std::string& path, std::intptr_t& file)
{
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return LastError();
    if (const std::error_code locked = LockForWriting(fd)) {
        close(fd);
        return locked;
    }
    file = fd;
    return {};
}

std::error_code WriteAll(std::intptr_t file, std::string_view bytes)
{
    const int fd = static_cast<int>(file);
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (written == 0)
            return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code CloseFile(std::intptr_t file)
{
    // No retry on EINTR: the descriptor is released whatever close reports.
    if (close(static_cast<int>(file)) != 0 && errno != EINTR)
        return LastError();
    return {};
}

std::error_code MoveNoReplace(const std::string& from, const std::string& to)
{
    // A log that another writer holds is left where it is, as the system
    // refuses to move an open file on other platforms; our writer lock is
    // held through the rename so none can take it in between.
    const int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return LastError();
    std::error_code moved = LockForWriting(fd);
    if (!moved)
        moved = Rename(from, to);
    close(fd);
    return moved;
}

} // namespace log_platform

LocalTime CurrentLocalTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    LocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return t;
}

} // namespace kestrum
