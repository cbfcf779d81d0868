#pragma once

#include "settings/model_table.h"

#include <cstdint>
#include <string>

// What identifies a connected controller besides its model: the serial number
// (three EEPROM bytes) and the field map number (low byte of a FLASH word).
namespace kestrum {

namespace identity {
inline constexpr std::uint8_t kModelCodeAddress = 127;    // EEPROM
inline constexpr std::uint8_t kSerialNumberAddress = 48;  // EEPROM 48..50, low byte first
inline constexpr std::uint16_t kFieldMapAddress = 0x1202; // FLASH word
} // namespace identity

// "blank" for an unprogrammed serial number (all 24 bits set), otherwise the
// 24-bit value in decimal.
std::string SerialNumberText(std::uint8_t low, std::uint8_t middle, std::uint8_t high);

// The field map is the low byte of its FLASH word; the high byte means nothing.
std::string FieldMapText(std::uint16_t word);

// What the Control Panel shows of the controller it talks to.
struct ControllerIdentity
{
    const ModelInfo* model = &FallbackModel();
    std::string serialNumber;
    std::string fieldMap;
};

} // namespace kestrum
