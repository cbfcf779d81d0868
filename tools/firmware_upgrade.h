#pragma once

#include "tools/run_progress.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

// Loading new controller firmware from an Intel HEX file through the
// controller's bootloader: the whole file is checked first, the controller is
// switched to its bootloader (unless it already runs it), every data word is
// written and read back in file order, then the controller is switched back
// and must report that its firmware runs.
//
// An interrupted run (Cancel, an unplugged or silent controller) leaves the
// controller in its bootloader; the next run sees that from the mode byte,
// skips the first switch and writes the whole file again.
namespace kestrum {

class CController;

// FLASH word 2 is where a reset sends the processor; RAM byte 0x50 says what
// runs.
inline constexpr std::uint16_t kStartAddressWord = 2;
inline constexpr std::uint16_t kBootloaderAddress = 0x2A00;
inline constexpr std::uint16_t kControllerAddress = 0x2A03;
inline constexpr std::uint8_t kModeByteAddress = 0x50;
inline constexpr std::uint8_t kModeFirmware = 0;
inline constexpr std::uint8_t kModeBootloader = 1;

struct UpgradeResult
{
    enum class Status
    {
        Succeeded,
        Failed,        // `error` holds the text to show after "Upgrade failed" (may be empty)
        NotResponding, // the link gave up; then "Upgrade failed" + `error` as for Failed
        FileError,     // the file could not be opened or read: `fileError`, nothing else
    };
    Status status = Status::Failed;
    std::string error;
    std::error_code fileError;
    bool cancelled = false;
    std::size_t wordsWritten = 0; // written and read back
};

// The progress range is 0 to the file's size in bytes; the position moves
// once per line written, and Cancel is looked at after each line.
// `beforeFirstPacket` runs once the file has been checked, just before the
// first request goes out: never for a file that is refused.
UpgradeResult UpgradeFirmware(CController& link, const std::string& path, RunProgress& progress,
                              const std::function<void()>& beforeFirstPacket = {});

// What the status line says after an upgrade that succeeded: "Firmware
// written and verified: 64 words".
std::string UpgradeDoneText(const UpgradeResult& result);
// What the window and the command line tell of a file refused or an upgrade
// that did not finish: "Upgrade failed" with the reason run straight on
// ("Upgrade failedUnknown mode"), as users of the tool have always seen it.
std::string UpgradeFailedText(const std::string& reason);
// Everything told of an upgrade of the file at `path` that did not succeed,
// in order: the file error alone; or that the controller stopped answering,
// if it did, then UpgradeFailedText with the result's reason.
std::vector<std::string> UpgradeFailureTexts(const UpgradeResult& result, const std::string& path);

} // namespace kestrum
