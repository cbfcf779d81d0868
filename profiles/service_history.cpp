#include "profiles/service_history.h"

#include "profiles/profile_file.h"

#include <algorithm>
#include <optional>

namespace kestrum {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTimeLength = 19; // "YYYY-MM-DD_hh-mm-ss"

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A folder name made only of what a serial number text can hold, so that a
// profile read from anywhere cannot lead the history outside its root.
bool SafeFolderName(const std::string& serialNumber)
{
    return serialNumber == "blank" || (AllDigits(serialNumber) && serialNumber.size() <= 8);
}

struct Stamp
{
    std::string time; // as in the name
    unsigned counter = 1;
};

// The time and counter of a history file name; none for any other file
// (a temporary file of an unfinished write among them).
std::optional<Stamp> ParseName(const fs::path& file)
{
    if (file.extension() != ".json")
        return std::nullopt;
    const std::string stem = file.stem().string();
    if (stem.size() < kTimeLength)
        return std::nullopt;
    Stamp stamp{stem.substr(0, kTimeLength)};
    for (std::size_t i = 0; i < kTimeLength; ++i) {
        const char c = stamp.time[i];
        const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        const char expected = i == 10 ? '_' : '-';
        if (separator ? c != expected : (c < '0' || c > '9'))
            return std::nullopt;
    }
    const std::string_view rest = std::string_view(stem).substr(kTimeLength);
    if (!rest.empty()) {
        if (rest[0] != '-' || !AllDigits(rest.substr(1)) || rest.size() > 6)
            return std::nullopt;
        stamp.counter = static_cast<unsigned>(std::stoul(std::string(rest.substr(1))));
    }
    return stamp;
}

std::string FileTime(const std::string& takenAt)
{
    std::string time = takenAt.substr(0, kTimeLength);
    std::replace(time.begin(), time.end(), ':', '-');
    std::replace(time.begin(), time.end(), 'T', '_');
    return time;
}

struct Found
{
    fs::path path;
    Stamp stamp;
};

std::vector<Found> NewestFirst(const fs::path& folder)
{
    std::vector<Found> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto stamp = ParseName(it->path()))
            found.push_back({it->path(), *stamp});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.stamp.time != b.stamp.time ? a.stamp.time > b.stamp.time
                                            : a.stamp.counter > b.stamp.counter;
    });
    return found;
}

} // namespace

std::error_code ServiceHistory::Keep(const ControllerProfile& profile, fs::path* written) const
{
    if (!SafeFolderName(profile.serialNumber) || profile.takenAt.size() < kTimeLength ||
        !ParseName(FileTime(profile.takenAt) + ".json"))
        return std::make_error_code(std::errc::invalid_argument);
    const fs::path folder = root_ / profile.serialNumber;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return error;
    const std::string time = FileTime(profile.takenAt);
    fs::path file = folder / (time + ".json");
    for (unsigned counter = 2; fs::exists(file, error); ++counter)
        file = folder / (time + "-" + std::to_string(counter) + ".json");
    error = SaveProfile(file.string(), profile);
    if (error)
        return error;
    if (written != nullptr)
        *written = file;
    const std::vector<Found> kept = NewestFirst(folder);
    for (std::size_t i = kKeptPerController; i < kept.size(); ++i)
        fs::remove(kept[i].path, error);
    return {};
}

std::vector<std::string> ServiceHistory::Controllers() const
{
    std::vector<std::string> serials;
    std::error_code error;
    for (fs::directory_iterator it(root_, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_directory(error) && SafeFolderName(name))
            serials.push_back(name);
    }
    // Numbers by value, "blank" last.
    std::sort(serials.begin(), serials.end(), [](const std::string& a, const std::string& b) {
        const bool aBlank = a == "blank";
        const bool bBlank = b == "blank";
        if (aBlank != bBlank)
            return bBlank;
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return serials;
}

std::vector<ServiceHistory::Entry> ServiceHistory::Entries(const std::string& serialNumber) const
{
    std::vector<Entry> entries;
    if (!SafeFolderName(serialNumber))
        return entries;
    for (const Found& found : NewestFirst(root_ / serialNumber)) {
        std::string taken = found.stamp.time;
        taken[10] = ' ';
        taken[13] = ':';
        taken[16] = ':';
        if (found.stamp.counter > 1)
            taken += " (" + std::to_string(found.stamp.counter) + ")";
        const ProfileRead read = ReadProfile(found.path.string());
        entries.push_back({found.path, taken, read.profile ? read.profile->keptBefore : ""});
    }
    return entries;
}

} // namespace kestrum
