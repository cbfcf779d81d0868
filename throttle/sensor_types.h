#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrum {

struct SensorType
{
    std::string_view label;
    std::uint8_t code; // what EEPROM byte 22 holds
    bool restrictedModelsMayUse;
};

inline constexpr std::array<SensorType, 8> kSensorTypes{{
    {"Yamaha 0 - 1K", 3, false},
    {"0 - 5K Ohms", 255, true},
    {"5K - 0 Ohms", 0, true},
    {"0 - 5 Volts", 1, false},
    {"6 - 10.5 Volts", 4, false},
    {"Club Car 5K - 0", 5, true},
    {"E-Z-GO ITS", 2, true},
    {"Pump", 6, false},
}};

inline constexpr std::uint8_t kNoSensorCode = 204;
inline constexpr std::uint8_t kSensorCodeAddress = 22;
inline constexpr std::uint8_t kSensorOptionsAddress = 23;
inline constexpr std::uint8_t kModelCodeAddress = 127;

// The index in kSensorTypes of a code, none for an unrecognised one.
std::optional<std::size_t> SensorIndex(std::uint8_t code);
bool IsRestrictedModel(std::uint8_t modelCode);
// Whether the sensor button may be chosen, from option bit 0 and the model.
bool SensorEnabled(const SensorType& type, std::uint8_t options, bool restrictedModel);

} // namespace kestrum
