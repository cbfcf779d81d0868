#pragma once

#include <string>
#include <system_error>

// The standard texts for a file that could not be opened, created, read or
// written, as the user sees them: "%1 was not found.", "Access to %1 was
// denied." and their kin, with %1 the file's path.
namespace kestrum {

std::string FileErrorText(std::error_code error, const std::string& path);

} // namespace kestrum
