#pragma once

#include "sim/simulator.h"

#include <array>
#include <cstdint>
#include <string>

// The simulated controller's three memories and the layout of a plausible
// controller in them. Plain data: no locking here, the simulator holds its
// own lock around every use.
namespace kestrum::sim {

// Addresses this controller's firmware gives meaning to.
namespace layout {
inline constexpr std::uint8_t kTableBaseLow = 0;  // EEPROM 0/1: throttle table base
inline constexpr std::uint8_t kMaxCurrent = 4;    // EEPROM, percent
inline constexpr std::uint8_t kSwitches = 5;      // EEPROM, switch bits
inline constexpr std::uint8_t kUnderVoltage = 7;  // EEPROM 7/8, counts
inline constexpr std::uint8_t kThrottleUp = 9;    // EEPROM
inline constexpr std::uint8_t kThrottleDown = 10; // EEPROM
inline constexpr std::uint8_t kBrakeCurrent = 11; // EEPROM, percent
inline constexpr std::uint8_t kOverVoltage = 16;  // EEPROM 16/17, counts
inline constexpr std::uint8_t kSensorCode = 22;   // EEPROM
inline constexpr std::uint8_t kOptions = 23;      // EEPROM, bit 0 sensor choice, bit 1 plug brake
inline constexpr std::uint8_t kSerialNumber = 48; // EEPROM 48..50, low byte first
inline constexpr std::uint8_t kTopSpeed = 56;     // EEPROM, stored inverted
inline constexpr std::uint8_t kErrorRingFirst = 0x5D;
inline constexpr std::uint8_t kErrorRingLast = 0x7C;
inline constexpr std::uint8_t kErrorRingIndex = 0x7D;
inline constexpr std::uint8_t kModelCode = 127; // EEPROM

inline constexpr std::uint16_t kStartAddress = 2;  // FLASH word: where a reset jumps to
inline constexpr std::uint16_t kFieldMap = 0x1202; // FLASH word, low byte
inline constexpr std::uint16_t kBootloaderStart = 0x2A00;
inline constexpr std::uint16_t kFirmwareStart = 0x2A03;

inline constexpr std::uint8_t kThrottle = 0x20;    // RAM byte
inline constexpr std::uint8_t kTemperature = 0x2C; // RAM word, low byte first
inline constexpr std::uint8_t kVoltage = 0x39;     // RAM word
inline constexpr std::uint8_t kErrorFlags = 0x3B;  // RAM byte
inline constexpr std::uint8_t kMode = 0x50;        // RAM byte: 0 firmware, 1 bootloader
inline constexpr std::uint8_t kCurrent = 0x60;     // RAM word
} // namespace layout

struct MemoryImage
{
    std::array<std::uint8_t, kEepromSize> eeprom{};
    std::array<std::uint16_t, kFlashWords> flash{};
    std::array<std::uint8_t, kRamSize> ram{};
};

MemoryImage DefaultImage();

// What a reset request does: the mode byte follows where FLASH word 2 sends
// the processor. An unknown start address gives mode 0xFF, which the tool
// reports as an unknown mode.
void Reset(MemoryImage& image);
// Power-up after loading an image: RAM cleared, then Reset.
void PowerUp(MemoryImage& image);

// File: the 8 bytes "KSIMIMG1", the 256 EEPROM bytes, then the 32768 FLASH
// words, each low byte first (65800 bytes in all).
bool SaveImageFile(const MemoryImage& image, const std::string& path);
// All-or-nothing: on any error `image` is left as it was.
bool LoadImageFile(MemoryImage& image, const std::string& path);

} // namespace kestrum::sim
