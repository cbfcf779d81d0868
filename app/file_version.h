#pragma once

#include <string>

namespace kestrum {

// The program's file version text ("A, B, C, D"), the one the About box
// shows. On Windows it is read from the running program's own version
// resource, the same text Explorer's Properties show, so that the box never
// disagrees with the file a technician reports; elsewhere, where programs
// carry no such resource, it is the text compiled in. Empty when the
// resource cannot be read.
std::string ProgramFileVersion();

#ifdef _WIN32
// The "FileVersion" text of the version resource of the file at `path`, in
// the first language the resource lists; empty when the file has none.
std::string FileVersionOf(const std::wstring& path);
#endif

} // namespace kestrum
