#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "tools/error_log_export.h"
#include "tools/file_error.h"
#include "tools/firmware_upgrade.h"
#include "tools/upgrade_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

// errors, upgrade and reset: the Tools menu's commands.
namespace kestrum::cli {

int RunErrors(Session& session)
{
    if (session.WordCount() != 2)
        return UsageError("errors takes one FILE");
    const std::string& path = session.Word(1);
    if (const auto refused = RefuseUnusableFile(path))
        return *refused;
    if (!Connect(session))
        return kNoController;
    const ErrorLogResult result = ExportErrorLog(session.link, path);
    switch (result.status) {
    case ErrorLogResult::Status::Written:
        return kSuccess;
    case ErrorLogResult::Status::EmptyLog:
        PrintError("The controller's error log is empty; " + path + " is empty.");
        return kSuccess;
    case ErrorLogResult::Status::FileError:
        PrintError(FileErrorText(result.fileError, path));
        return kFileError;
    case ErrorLogResult::Status::ReadFailed:
    case ErrorLogResult::Status::NotResponding:
        break;
    }
    return NotResponding();
}

int RunUpgrade(Session& session)
{
    if (session.WordCount() != 2)
        return UsageError("upgrade takes one FILE");
    const std::string& path = session.Word(1);
    if (const auto refused = RefuseUnusableFile(path))
        return *refused;
    // The whole file is checked before the controller is looked for, so a
    // wrong file costs no traffic at all; the upgrade checks it again.
    {
        errno = 0;
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            PrintError(FileErrorText({errno, std::generic_category()}, path));
            return kFileError;
        }
        const UpgradeFileResult checked = ValidateUpgradeFile(file);
        if (checked.status == UpgradeFileResult::Status::ReadError) {
            PrintError(FileErrorText(std::make_error_code(std::errc::io_error), path));
            return kFileError;
        }
        if (!checked) {
            PrintError(UpgradeFailedText(checked.error));
            return kFailed;
        }
    }
    if (!Connect(session))
        return kNoController;
    TerminalProgress::InstallInterruptHandler();
    UpgradeResult result;
    {
        TerminalProgress progress("Writing FLASH memory");
        result = UpgradeFirmware(session.link, path, progress);
    }
    if (result.status == UpgradeResult::Status::Succeeded)
        return kSuccess;
    for (const std::string& text : UpgradeFailureTexts(result, path))
        PrintError(text);
    if (result.status == UpgradeResult::Status::FileError)
        return kFileError;
    if (result.cancelled)
        PrintError("The controller waits in its bootloader; run the upgrade again to complete it.");
    return kFailed;
}

int RunReset(Session& session)
{
    if (session.WordCount() != 1)
        return UsageError("reset takes no argument");
    if (!Connect(session))
        return kNoController;
    try {
        session.link.ResetController();
    } catch (const CControllerException&) {
        return NotResponding();
    }
    return kSuccess;
}

} // namespace kestrum::cli
