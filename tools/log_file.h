#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

// Levelled log lines and their text file.
//
// Threading: one thread may write (Log/Write) while another opens and closes
// (Open/Close); each of Open, Write and Close holds the object's lock for its
// whole work, so whole lines never interleave with each other or with an
// open, a rotation or a close. Log formats before it takes the lock.
namespace kestrum {

#if defined(__GNUC__) || defined(__clang__)
#define KESTRUM_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KESTRUM_PRINTF_FORMAT(fmt, args)
#endif

struct LocalTime
{
    int year = 0;  // four digits
    int month = 0; // 1-12
    int day = 0;   // 1-31
    int hour = 0;  // 0-23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

using LocalClock = std::function<LocalTime()>;

// The machine's local time (platform part).
LocalTime CurrentLocalTime();

// "MM/DD/YY hh:mm:ss.mmm  ", the prefix of a time-stamped log line.
std::string LogTimePrefix(const LocalTime& time);

class CLog
{
public:
    // The text a Log call can produce: a 128-byte buffer, terminator included.
    static constexpr std::size_t kMaxText = 127;

    explicit CLog(std::int32_t threshold) : threshold_(threshold) {}
    virtual ~CLog() = default;
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Lines above the threshold are dropped (and reported as success).
    // Otherwise formats printf-style, keeping the first kMaxText characters,
    // and hands the text to Write. Returns Write's error.
    std::error_code Log(std::int32_t level, const char* format, ...) KESTRUM_PRINTF_FORMAT(3, 4);

    // Writes one line; an error code when the line could not be written whole.
    virtual std::error_code Write(std::int32_t level, std::string_view text) = 0;

    std::int32_t Threshold() const { return threshold_; }

protected:
    bool Passes(std::int32_t level) const { return level <= threshold_; }

    mutable std::mutex lock_;

private:
    const std::int32_t threshold_;
};

class CLogFile : public CLog
{
public:
    // `clock` gives the local time for line prefixes and rotated names; it is
    // called from the writing thread as well as the opening one.
    CLogFile(std::int32_t threshold, bool timestamps, LocalClock clock = CurrentLocalTime);
    ~CLogFile() override;

    // Opens `path` for appending, other writers shut out and readers allowed.
    // A file already holding data is first moved to the path followed by the
    // local date and time ("Monitor.log20080612143005.log"); if that move
    // fails (the name exists, the file is in use) the new lines are appended
    // to the old content. An empty path fails and changes nothing. A file
    // already open in this object is closed first. The reason of a failure
    // goes to `error` when given.
    bool Open(const std::string& path, std::error_code* error = nullptr);

    // Without a file open, or above the threshold, writes nothing and succeeds.
    // Otherwise writes the optional time prefix, the text and the platform's
    // line end, and hands the line to the operating system at once; a failed
    // or partial write is returned.
    std::error_code Write(std::int32_t level, std::string_view text) override;

    std::error_code Close();

    bool IsOpen() const;

    // Moves `path` to its timestamped name without ever replacing an existing
    // file; false when the move failed. Used by Open; takes no lock.
    bool Rotate(const std::string& path);

    // Prefix every line with "MM/DD/YY hh:mm:ss.mmm  ". May be changed at any
    // time from any thread; each line reads it once.
    std::atomic<bool> timestamps;

private:
    LocalClock clock_;
    std::intptr_t file_; // platform handle; kNoLogFile when closed
};

// Platform part of CLogFile (log_file_posix.cpp / log_file_win32.cpp).
namespace log_platform {

inline constexpr std::intptr_t kNoLogFile = -1;

// The text-file line end of the platform.
extern const std::string_view kLineEnd;

// The size of the file at `path`; false when there is no such file.
bool FileSize(const std::string& path, std::uint64_t& size);

// Opens for appending, creating the file if needed, with the writer lock
// that keeps other writers out.
std::error_code OpenForAppend(const std::string& path, std::intptr_t& file);

std::error_code WriteAll(std::intptr_t file, std::string_view bytes);

std::error_code CloseFile(std::intptr_t file);

// Renames `from` to `to`, failing when `to` exists or `from` is held by a writer.
std::error_code MoveNoReplace(const std::string& from, const std::string& to);

} // namespace log_platform

} // namespace kestrum
