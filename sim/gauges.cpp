#include "sim/gauges.h"

#include <cmath>
#include <cstdint>

namespace kestrum::sim {

namespace {

constexpr double kSweepSeconds = 20.0;
constexpr double kRestVolts = 51.0;
constexpr double kBatteryOhms = 0.02;
constexpr double kMaxAmps = 300.0;

void PutRamWord(MemoryImage& image, std::uint8_t address, double value)
{
    const long rounded = std::lround(value);
    const auto word = static_cast<std::uint16_t>(rounded < 0        ? 0
                                                 : rounded > 0xFFFF ? 0xFFFF
                                                                    : rounded);
    image.ram[address] = static_cast<std::uint8_t>(word & 0xFF);
    image.ram[static_cast<std::uint8_t>(address + 1)] = static_cast<std::uint8_t>(word >> 8);
}

} // namespace

void UpdateGauges(MemoryImage& image, double seconds)
{
    using namespace layout;
    const double phase = std::fmod(seconds, kSweepSeconds) / kSweepSeconds;
    const double travel = phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase; // 0..1..0
    const double throttleByte = std::round(255.0 * travel);
    image.ram[kThrottle] = static_cast<std::uint8_t>(throttleByte);

    // A little ripple keeps the current alive even at a steady throttle.
    const double amps = 5.0 + kMaxAmps * throttleByte / 255.0 + 2.0 * std::sin(seconds * 7.0);
    PutRamWord(image, kCurrent, amps);

    const double volts = kRestVolts - kBatteryOhms * amps;
    PutRamWord(image, kVoltage, volts * 1023.0 / 105.0);

    const double celsius =
        25.0 + 20.0 * (1.0 - std::exp(-seconds / 300.0)) + 1.5 * std::sin(seconds / 30.0);
    PutRamWord(image, kTemperature, (celsius + 273.0) * 1023.0 / 500.0);
}

} // namespace kestrum::sim
