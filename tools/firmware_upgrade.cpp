#include "tools/firmware_upgrade.h"

#include "link/controller.h"
#include "tools/file_error.h"
#include "tools/upgrade_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace kestrum {

namespace {

using Status = UpgradeResult::Status;

UpgradeResult Failure(std::string error = {})
{
    UpgradeResult result;
    result.status = Status::Failed;
    result.error = std::move(error);
    return result;
}

UpgradeResult FileFailure(std::error_code error)
{
    UpgradeResult result;
    result.status = Status::FileError;
    result.fileError = error;
    return result;
}

// A stream failure sets errno on the platforms we build for; where it does
// not, the generic file-error text is the honest answer.
std::error_code LastFileError()
{
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

struct ModeRead
{
    bool ok = false;
    std::uint8_t mode = 0;
};

ModeRead ReadMode(CController& link)
{
    std::uint8_t bytes[3] = {};
    ModeRead read;
    read.ok = link.ReadRam(kModeByteAddress, bytes);
    read.mode = bytes[0];
    return read;
}

// Up to `tries` mode reads, stopping at the first that succeeds with `wanted`;
// returns the last read made, or `last` when no read was made.
ModeRead PollMode(CController& link, int tries, std::uint8_t wanted, ModeRead last)
{
    for (int i = 0; i < tries; ++i) {
        last = ReadMode(link);
        if (last.ok && last.mode == wanted)
            break;
    }
    return last;
}

// Writes every data record's words in file order. Succeeded when the end
// record was reached; otherwise the reason the pass stopped.
UpgradeResult WriteImage(CController& link, std::istream& file, std::uint64_t size,
                         RunProgress& progress)
{
    progress.SetRange(0, static_cast<std::int64_t>(size));
    progress.SetPos(0);
    UpgradeFileWalk walk(file);
    std::size_t words = 0;
    for (;;) {
        const UpgradeFileWalk::Step step = walk.Next();
        if (step == UpgradeFileWalk::Step::End) {
            UpgradeResult done{Status::Succeeded, {}, {}, false};
            done.wordsWritten = words;
            return done;
        }
        if (step == UpgradeFileWalk::Step::Stopped) {
            // The file changed or failed since it was checked; nothing of the
            // bad line was written.
            if (walk.Result().status == UpgradeFileResult::Status::ReadError)
                return FileFailure(LastFileError());
            return Failure(walk.Result().error);
        }
        const HexDataRecord& record = walk.Record();
        for (std::size_t i = 0; i < record.wordCount; ++i) {
            const auto address = static_cast<std::uint16_t>(record.wordAddress + i);
            if (!link.WriteFlash(address, record.words[i]))
                return Failure();
            ++words;
        }
        progress.SetPos(static_cast<std::int64_t>(walk.Position()));
        if (progress.Cancelled()) {
            UpgradeResult result = Failure();
            result.cancelled = true;
            return result;
        }
    }
}

UpgradeResult RunOnController(CController& link, std::istream& file, std::uint64_t size,
                              RunProgress& progress)
{
    ModeRead mode = ReadMode(link);
    if (!mode.ok)
        return Failure();
    if (mode.mode == kModeFirmware) {
        if (!link.WriteFlash(kStartAddressWord, kBootloaderAddress))
            return Failure("Failed to write bootloader address");
        if (!link.ResetController())
            return Failure();
        mode = PollMode(link, link.Timings().resetTries, kModeBootloader, mode);
    }
    if (!mode.ok)
        return Failure();
    if (mode.mode != kModeBootloader)
        return Failure("Unknown mode");

    UpgradeResult written = WriteImage(link, file, size, progress);
    if (written.status != Status::Succeeded)
        return written;

    if (!link.WriteFlash(kStartAddressWord, kControllerAddress))
        return Failure("Failed to write controller address");
    if (!link.ResetController())
        return Failure();
    mode = PollMode(link, link.Timings().readWriteTries, kModeFirmware, mode);
    if (!mode.ok || mode.mode != kModeFirmware)
        return Failure("Mode not reset to controller");
    return written;
}

} // namespace

UpgradeResult UpgradeFirmware(CController& link, const std::string& path, RunProgress& progress,
                              const std::function<void()>& beforeFirstPacket)
{
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error)
        return FileFailure(error);
    // Binary: the reader drops a carriage return before a line feed itself,
    // and the progress position then counts the bytes the size counts.
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return FileFailure(LastFileError());

    const UpgradeFileResult validated = ValidateUpgradeFile(file);
    if (validated.status == UpgradeFileResult::Status::ReadError)
        return FileFailure(LastFileError());
    if (!validated)
        return Failure(validated.error);
    file.clear();
    file.seekg(0);
    if (!file)
        return FileFailure(LastFileError());

    if (beforeFirstPacket)
        beforeFirstPacket();
    try {
        return RunOnController(link, file, size, progress);
    } catch (const CControllerException&) {
        UpgradeResult result;
        result.status = Status::NotResponding;
        return result;
    }
}

std::string UpgradeDoneText(const UpgradeResult& result)
{
    return "Firmware written and verified: " + std::to_string(result.wordsWritten) +
           (result.wordsWritten == 1 ? " word" : " words");
}

std::string UpgradeFailedText(const std::string& reason)
{
    return "Upgrade failed" + reason;
}

std::vector<std::string> UpgradeFailureTexts(const UpgradeResult& result, const std::string& path)
{
    if (result.status == UpgradeResult::Status::FileError)
        return {FileErrorText(result.fileError, path)};
    std::vector<std::string> texts;
    if (result.status == UpgradeResult::Status::NotResponding)
        texts.emplace_back(NotRespondingText());
    texts.push_back(UpgradeFailedText(result.error));
    return texts;
}

} // namespace kestrum
