#pragma once

#include <string>
#include <system_error>

// Saving the controller's error log: a ring of 32 EEPROM bytes (0x5D to
// 0x7C) read from the entry the index byte (0x7D) names downwards, wrapping
// from 0x5D to 0x7C, into one line "%02X" then ",%02X" each (95 characters,
// no line end).
//
// The line is written to a new file beside the target and renamed over it
// only once every read has succeeded, so a controller that stops answering
// leaves the user's previous export as it was, and no half-written file.
namespace kestrum {

class CController;

inline constexpr unsigned kErrorLogFirst = 0x5D;
inline constexpr unsigned kErrorLogLast = 0x7C;
inline constexpr unsigned kErrorLogIndex = 0x7D;

struct ErrorLogResult
{
    enum class Status
    {
        Written,       // the 32 entries are in the file
        EmptyLog,      // the index lies outside the ring (erased EEPROM): the file is empty
        ReadFailed,    // a read reported failure quietly; the target is untouched
        NotResponding, // the link gave up; the target is untouched
        FileError,     // `fileError` on `path`; the target is untouched
    };
    Status status = Status::ReadFailed;
    std::error_code fileError;
};

ErrorLogResult ExportErrorLog(CController& link, const std::string& path);

// The line the export writes, read without a file: Written with the line,
// EmptyLog with none, ReadFailed or NotResponding.
struct ErrorLogLine
{
    ErrorLogResult::Status status = ErrorLogResult::Status::ReadFailed;
    std::string line;
};
ErrorLogLine ReadErrorLogLine(CController& link);

} // namespace kestrum
