#pragma once

#include "cli/options.h"
#include "link/controller.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace kestrum::cli {

using Json = nlohmann::ordered_json;

// One run of the program: its options and the controller link.
struct Session
{
    Options options;
    CController link;

    // The command's arguments after the command word (and sub-command).
    const std::string& Word(std::size_t index) const;
    std::size_t WordCount() const { return options.words.size(); }
};

// Applies the stored timings and the command line's, then opens the port
// given, or searches every port as the window does. On failure the user has
// been told why (on standard error).
bool Connect(Session& session);

// A FILE argument that can never be a file: empty, or an existing folder.
// Told with the file-error text and refused before the controller is read,
// so that the reading is not wasted; the exit status, or none when the path
// may be used.
std::optional<int> RefuseUnusableFile(const std::string& path);

void PrintError(const std::string& text);
void PrintJson(const Json& json);
// "Motor controller is not responding", and the matching exit status.
int NotResponding();
// A usage error: the text, a pointer to --help, exit status 2.
int UsageError(const std::string& text);

// The commands; each returns the exit status.
int RunIdentify(Session& session);
int RunSettings(Session& session);
int RunProfile(Session& session);
int RunThrottle(Session& session);
int RunErrors(Session& session);
int RunUpgrade(Session& session);
int RunMonitor(Session& session);
int RunMemory(Session& session);
int RunReset(Session& session);
int RunReport(Session& session);

} // namespace kestrum::cli
