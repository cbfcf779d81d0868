#pragma once

#include <array>
#include <cstdint>
#include <string>

// The six live readings of the Monitor page: where each is read in the
// controller's RAM, how its raw value becomes the displayed one, and the
// texts of the page and of a CSV log row.
namespace kestrum::monitor {

// In the order of a log row.
enum class Gauge : std::size_t
{
    Throttle,
    Temperature,
    Voltage,
    OutputCurrent,
    BatteryCurrent,
    ErrorFlags
};
inline constexpr std::size_t kGaugeCount = 6;

struct GaugeInfo
{
    Gauge gauge;
    std::uint8_t ramAddress; // unused for the battery current
    const char* label;
    const char* unit; // empty: no unit label
    const char* initialText;
};

const std::array<GaugeInfo, kGaugeCount>& Gauges();
const GaugeInfo& Info(Gauge gauge);

// The raw value of a RAM answer: 8-bit gauges use the first byte, 16-bit
// gauges the first two, low byte first.
unsigned RawValue(Gauge gauge, const std::uint8_t (&bytes)[3]);

// The displayed value, in double precision in the order the conversion is
// written (multiply, divide, then subtract). Error flags give the byte.
double Convert(Gauge gauge, unsigned raw);
double BatteryCurrent(double outputCurrent, double throttle);

// "%.0f" for the throttle, "0x%02X" for the flags, "%.1f" otherwise.
std::string Format(Gauge gauge, double value);

using GaugeTexts = std::array<std::string, kGaugeCount>;

inline constexpr const char* kCsvHeader =
    "TimeStamp,ThrottlePos,DiodeTemp,BatteryVoltage,OutputCurrent,BatteryCurrent,ErrorFlags";

// The six texts joined by commas (the log adds the time stamp).
std::string RowText(const GaugeTexts& texts);

} // namespace kestrum::monitor
