#pragma once

#include <string>

namespace kestrum {

// The About box's first line, built from the program's file version text
// ("A, B, C, D"): "Quorvel Motor Control Monitor vVERSION (build BUILD)".
// The build is the last number; the version is what precedes it, without a
// third number that is exactly 0 ("2, 2, 0, 38" -> v2.2, build 38; "2, 2, 1,
// 38" -> v2.2.1, build 38). A text without a version and a build on either
// side of its last separator yields an empty string, so that the caller
// keeps its placeholder line.
std::string VersionLine(const std::string& fileVersion);

} // namespace kestrum
