#include "tools/log_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace kestrum {

using namespace log_platform;

std::error_code CLog::Log(std::int32_t level, const char* format, ...)
{
    if (!Passes(level))
        return {};
    char text[kMaxText + 1];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0)
        return std::make_error_code(std::errc::invalid_argument);
    return Write(level, std::string_view(text, std::min<std::size_t>(length, kMaxText)));
}

CLogFile::CLogFile(std::int32_t threshold, bool timestamps, LocalClock clock)
    : CLog(threshold), timestamps(timestamps), clock_(std::move(clock)), file_(kNoLogFile)
{}

CLogFile::~CLogFile()
{
    Close();
}

bool CLogFile::Open(const std::string& path, std::error_code* error)
{
    // A path with a NUL inside would name another file to the system calls.
    if (path.empty() || path.find('\0') != std::string::npos) {
        if (error)
            *error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (file_ != kNoLogFile) {
        CloseFile(file_);
        file_ = kNoLogFile;
    }
    std::uint64_t size = 0;
    if (FileSize(path, size) && size > 0)
        Rotate(path); // on failure the old content stays and is appended to
    std::intptr_t file = kNoLogFile;
    const std::error_code opened = OpenForAppend(path, file);
    if (opened) {
        if (error)
            *error = opened;
        return false;
    }
    file_ = file;
    return true;
}

bool CLogFile::Rotate(const std::string& path)
{
    const LocalTime t = clock_();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%d%02d%02d%02d%02d%02d.log", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return !MoveNoReplace(path, path + stamp);
}

std::string LogTimePrefix(const LocalTime& t)
{
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%02d/%02d/%02d %02d:%02d:%02d.%03d  ", t.month, t.day,
                  t.year - 2000, t.hour, t.minute, t.second, t.millisecond);
    return prefix;
}

std::error_code CLogFile::Write(std::int32_t level, std::string_view text)
{
    if (!Passes(level))
        return {};
    // The line is built before the lock is taken, so the writer thread holds
    // the lock only for the system call.
    std::string line;
    line.reserve(32 + text.size() + kLineEnd.size());
    if (timestamps) {
        line += LogTimePrefix(clock_());
    }
    line += text;
    line += kLineEnd;

    std::lock_guard<std::mutex> guard(lock_);
    if (file_ == kNoLogFile)
        return {};
    // One unbuffered write per line: once it returns, the line is with the
    // operating system and survives the program stopping.
    return WriteAll(file_, line);
}

std::error_code CLogFile::Close()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (file_ == kNoLogFile)
        return {};
    const std::error_code closed = CloseFile(file_);
    file_ = kNoLogFile;
    return closed;
}

bool CLogFile::IsOpen() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return file_ != kNoLogFile;
}

} // namespace kestrum
