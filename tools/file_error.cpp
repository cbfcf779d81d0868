#include "tools/file_error.h"

#include <string_view>

namespace kestrum {

namespace {

std::string Fill(std::string_view pattern, const std::string& path)
{
    std::string text(pattern);
    const std::size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, path);
    return text;
}

} // namespace

std::string FileErrorText(std::error_code error, const std::string& path)
{
    // Compared as portable conditions, so the platform's own codes (errno
    // values, Windows error numbers) map alike.
    using std::errc;
    const auto is = [&error](errc condition) {
        return error == std::make_error_condition(condition);
    };
    if (is(errc::no_such_file_or_directory))
        return Fill("%1 was not found.", path);
    if (is(errc::permission_denied) || is(errc::operation_not_permitted) ||
        is(errc::read_only_file_system) || is(errc::is_a_directory))
        return Fill("Access to %1 was denied.", path);
    if (is(errc::filename_too_long) || is(errc::not_a_directory) || is(errc::invalid_argument))
        return Fill("%1 contains an invalid path.", path);
    if (is(errc::too_many_files_open) || is(errc::too_many_files_open_in_system))
        return Fill("%1 could not be opened because there are too many open files.", path);
    if (is(errc::no_space_on_device))
        return Fill("Disk full while accessing %1.", path);
    if (is(errc::io_error))
        return Fill("A hardware I/O error was reported while accessing %1.", path);
    if (is(errc::device_or_resource_busy) || is(errc::text_file_busy))
        return Fill("A sharing violation occurred while accessing %1.", path);
    return Fill("An unexpected file error occurred while accessing %1.", path);
}

} // namespace kestrum
