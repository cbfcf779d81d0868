#include "tools/error_log_export.h"

#include "link/controller.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace kestrum {

namespace {

using Status = ErrorLogResult::Status;

std::error_code LastError()
{
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

ErrorLogResult Outcome(Status status, std::error_code error = {})
{
    return {status, error};
}

// A new file beside the target, removed again unless it was committed.
class SiblingFile
{
public:
    explicit SiblingFile(const std::string& target) : target_(target) {}
    ~SiblingFile()
    {
        if (file_)
            std::fclose(file_);
        if (!name_.empty() && !committed_)
            std::remove(name_.c_str());
    }
    SiblingFile(const SiblingFile&) = delete;
    SiblingFile& operator=(const SiblingFile&) = delete;

    // Creates a name that did not exist before ("x" refuses an existing one,
    // so an unrelated file is never taken over).
    bool Create()
    {
        for (int n = 0; n < 100; ++n) {
            const std::string name = target_ + "." + std::to_string(n) + ".tmp";
            errno = 0;
            file_ = std::fopen(name.c_str(), "wbx");
            if (file_) {
                name_ = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        errno = EEXIST;
        return false;
    }

    bool Write(const std::string& text)
    {
        errno = 0;
        return std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    }

    // Closes the file and puts it in the target's place.
    bool Commit(std::error_code& error)
    {
        errno = 0;
        const int closed = std::fclose(file_);
        file_ = nullptr;
        if (closed != 0) {
            error = LastError();
            return false;
        }
        std::filesystem::rename(name_, target_, error);
        committed_ = !error;
        return committed_;
    }

private:
    std::string target_;
    std::string name_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

bool InRing(unsigned address)
{
    return address >= kErrorLogFirst && address <= kErrorLogLast;
}

unsigned Previous(unsigned address)
{
    return address == kErrorLogFirst ? kErrorLogLast : address - 1;
}

// The whole ring from `index` downwards; false when a read reported failure.
bool ReadRing(CController& link, unsigned index, std::string& text)
{
    unsigned address = index;
    do {
        std::uint8_t value = 0;
        if (!link.ReadEeprom(address, value))
            return false;
        char entry[4];
        std::snprintf(entry, sizeof entry, address == index ? "%02X" : ",%02X", value);
        text += entry;
        address = Previous(address);
    } while (address != index);
    return true;
}

} // namespace

ErrorLogLine ReadErrorLogLine(CController& link)
{
    ErrorLogLine read;
    try {
        std::uint8_t index = 0;
        if (!link.ReadEeprom(kErrorLogIndex, index))
            return read;
        if (InRing(index) && !ReadRing(link, index, read.line))
            return read;
    } catch (const CControllerException&) {
        read.status = Status::NotResponding;
        return read;
    }
    read.status = read.line.empty() ? Status::EmptyLog : Status::Written;
    return read;
}

ErrorLogResult ExportErrorLog(CController& link, const std::string& path)
{
    // A target that exists must be one we may write: the rename below would
    // otherwise replace a read-only file. Opening it to append changes nothing.
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        errno = 0;
        std::FILE* existing = std::fopen(path.c_str(), "ab");
        if (!existing)
            return Outcome(Status::FileError, LastError());
        std::fclose(existing);
    }
    SiblingFile file(path);
    if (!file.Create())
        return Outcome(Status::FileError, LastError());

    const ErrorLogLine read = ReadErrorLogLine(link);
    if (read.status != Status::Written && read.status != Status::EmptyLog)
        return Outcome(read.status);
    const std::string& text = read.line;

    if (!file.Write(text))
        return Outcome(Status::FileError, LastError());
    if (!file.Commit(error))
        return Outcome(Status::FileError, error);
    return Outcome(text.empty() ? Status::EmptyLog : Status::Written);
}

} // namespace kestrum
