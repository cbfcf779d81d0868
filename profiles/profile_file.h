#pragma once

#include "profiles/controller_profile.h"

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// A controller profile as a JSON file. The file says what it is ("format")
// and which layout it follows ("version"); a reader refuses a file of a
// later layout rather than guess at it.
namespace kestrum {

inline constexpr std::string_view kProfileFormat = "Quorvel Kestrum controller profile";
inline constexpr int kProfileVersion = 1;

struct ProfileRead
{
    std::optional<ControllerProfile> profile; // only when the whole file was read
    std::string error;                        // why not, naming the field
    bool fileError = false;                   // the file itself could not be read
};

std::string ProfileToJson(const ControllerProfile& profile);
// Checks every field's presence, type and range: nothing of a file that
// fails is used.
ProfileRead ProfileFromJson(std::string_view text);

// Written whole or not at all; the error's text is FileErrorText's.
std::error_code SaveProfile(const std::string& path, const ControllerProfile& profile);
ProfileRead ReadProfile(const std::string& path);

} // namespace kestrum
