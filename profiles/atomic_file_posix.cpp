#include "profiles/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {
namespace {

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

std::error_code WriteAll(int fd, std::string_view contents)
{
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

} // namespace

std::error_code WriteFileAtomically(const std::string& path, std::string_view contents)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return LastError();
    // mkstemp makes the file private; a profile is as readable as any file
    // the user saves.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::error_code error = WriteAll(fd, contents);
    if (!error && ::fsync(fd) != 0)
        error = LastError();
    if (::close(fd) != 0 && !error)
        error = LastError();
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0)
        error = LastError();
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

} // namespace kestrum
