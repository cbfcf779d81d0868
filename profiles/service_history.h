#pragma once

#include "profiles/controller_profile.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kestrum {

// What the user hears when a profile could not be kept; each front end adds
// where and why its own way.
inline constexpr const char* kHistoryNotKeptText = "The service history could not be kept";

// The automatic service history: a profile of what the pages last read is
// kept before every write that changes a controller's setup, one folder per
// serial number, one file per occasion named by its local date and time:
// <root>/<serial number>/<YYYY-MM-DD_hh-mm-ss>.json (with "-2", "-3" ...
// added for a second one within the same second).
class ServiceHistory
{
public:
    static constexpr std::size_t kKeptPerController = 200;

    explicit ServiceHistory(std::filesystem::path root) : root_(std::move(root)) {}

    struct Entry
    {
        std::filesystem::path path;
        std::string taken;      // "2026-12-08 23:30:12", with " (2)" for a second one
        std::string keptBefore; // the profile's occasion, empty when it has none
    };

    // Writes the profile, then removes the oldest files of its controller
    // beyond kKeptPerController. The path written goes to `written`.
    std::error_code Keep(const ControllerProfile& profile,
                         std::filesystem::path* written = nullptr) const;
    // The serial numbers that have a history, in ascending order.
    std::vector<std::string> Controllers() const;
    // Newest first; each file is read for its occasion.
    std::vector<Entry> Entries(const std::string& serialNumber) const;
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

// Where the history lives for this user: the per-user data folder of the
// tool ("$XDG_DATA_HOME/Quorvel/Quorvel Kestrum/history" on Linux,
// "%APPDATA%\Quorvel\Quorvel Kestrum\history" on Windows).
std::filesystem::path DefaultHistoryFolder();

} // namespace kestrum
