#pragma once

// What kestrum-cli's exit status tells a script.
namespace kestrum::cli {

enum ExitStatus : int
{
    kSuccess = 0,
    kNoController = 1, // none found, or it stopped answering
    kUsage = 2,        // a bad command line or a value the controller cannot take
    kFileError = 3,    // a file that cannot be read or written
    kFailed = 4,       // an upgrade or a load that did not complete
};

} // namespace kestrum::cli
