#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace kestrum {

// Replaces the file at `path` with `contents` so that a reader, a crash or a
// full disk sees either the old file whole or the new one whole: the text
// goes to a temporary file beside it, is flushed to the disk, and is renamed
// over the old one. On failure the old file is untouched and no temporary
// file is left.
std::error_code WriteFileAtomically(const std::string& path, std::string_view contents);

} // namespace kestrum
