#pragma once

#include <cstdint>
#include <limits>

// Controller voltages travel as 10-bit counts: 1023 counts are 105 V. The
// settings conversions and the Monitor's battery gauge share this scale.
namespace kestrum {

namespace detail {
// Truncation toward zero, pinned to the 32-bit range (NaN gives 0) so that no
// input can reach an undefined conversion.
constexpr std::int32_t TruncateToInt32(double value)
{
    if (value != value)
        return 0;
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}
} // namespace detail

constexpr double CountsToVolts(double counts)
{
    return counts * 105.0 / 1023.0;
}

// The nearest count, halves upward, for the non-negative voltages in use.
constexpr std::int32_t VoltsToCounts(double volts)
{
    return detail::TruncateToInt32(volts * 1023.0 / 105.0 + 0.5);
}

// A voltage rounded to tenths of a volt: the precision the page shows and the
// precision at which under- and over-voltage are compared.
constexpr std::int32_t VoltageTenths(double volts)
{
    return detail::TruncateToInt32(volts * 10.0 + 0.5);
}

} // namespace kestrum
