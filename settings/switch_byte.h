#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The controller's switch byte (EEPROM 5) and its options byte (EEPROM 23).
namespace kestrum {

inline constexpr std::uint8_t kSwitchByteAddress = 5;
inline constexpr std::uint8_t kOptionsByteAddress = 23;

struct SwitchInfo
{
    std::string_view text; // the switch's name, as its check box says it
    std::uint8_t mask;     // bit in the switch byte
    bool inverted;         // ticked when the bit is 0
};

inline constexpr std::size_t kSwitchCount = 4;

inline constexpr std::array<SwitchInfo, kSwitchCount> kSwitches{{
    {"High Pedal Disable", 0x01, false},
    {"Plug Brake", 0x02, false},
    {"Turbo", 0x04, false},
    {"1/2 Speed Reverse", 0x08, true},
}};

inline constexpr std::size_t kPlugBrakeSwitch = 1; // index into kSwitches

using SwitchStates = std::array<bool, kSwitchCount>;

SwitchStates SwitchesFromByte(std::uint8_t switchByte);

// Bits 4 to 7 have no switch and are always written as 0.
std::uint8_t SwitchByte(const SwitchStates& states);

// Bit 1 of the options byte: the controller can plug-brake, so its switch may
// be changed.
constexpr bool PlugBrakeSupported(std::uint8_t optionsByte)
{
    return (optionsByte & 0x02) != 0;
}

} // namespace kestrum
