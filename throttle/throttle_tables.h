#pragma once

#include <array>
#include <cstdint>

namespace kestrum {

inline constexpr std::size_t kThrottleEntries = 256;
using ThrottleTable = std::array<std::uint8_t, kThrottleEntries>;

extern const ThrottleTable kLinearTable;
extern const ThrottleTable kSCurveTable;
extern const ThrottleTable kProgressiveTable;
extern const ThrottleTable kInductiveTable;

} // namespace kestrum
