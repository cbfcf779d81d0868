#pragma once

#include "settings/model_table.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Where each Control Panel setting lives in the controller's EEPROM, how a
// slider position becomes the stored value and back, and how a position reads
// as text. Positions and stored values are unsigned 16-bit; the conversions
// wrap modulo 65536 like the controller-side arithmetic they mirror.
namespace kestrum {

// A setting, by its place in Settings().
enum class SettingId : std::uint8_t
{
    MaxOutputCurrent,
    UnderVoltage,
    OverVoltage,
    ThrottleUpRate,
    ThrottleDownRate,
    BrakeCurrent,
    TopSpeed,
};

constexpr std::size_t SettingIndex(SettingId id)
{
    return static_cast<std::size_t>(id);
}

struct SettingInfo
{
    SettingId id;
    std::string_view label; // text left of the slider
    std::string_view unit;  // empty when the setting has none
    std::uint8_t address;   // EEPROM; the low byte's for two-byte settings
    std::uint8_t width;     // 1 or 2 bytes, low byte first
    // The slider's range is 0..fixedMaximum, or 0..ModelMaximum(model) once a
    // model is selected when that is set (fixedMaximum is then the range the
    // slider has before any model).
    std::uint16_t fixedMaximum;
    std::int32_t (*modelMaximum)(const ModelInfo& model);
    std::uint16_t defaultPosition; // unless defaultAtMaximum
    bool defaultAtMaximum;
    std::uint16_t (*toStored)(std::uint16_t position, const ModelInfo& model);
    // Before the clamp to the slider's range.
    std::uint16_t (*fromStored)(std::uint16_t stored, const ModelInfo& model);
    std::string (*text)(std::uint16_t position, const ModelInfo& model);
};

inline constexpr std::size_t kSettingCount = 7;

// In the order Set writes and Defaults moves them, which is SettingId's.
const std::array<SettingInfo, kSettingCount>& Settings();
const SettingInfo& FindSetting(SettingId id);

// Refresh reads Over Voltage before Under Voltage, so that the under-voltage
// clamp on reading sees the new over-voltage position.
inline constexpr std::array<SettingId, kSettingCount> kRefreshOrder{
    SettingId::MaxOutputCurrent, SettingId::OverVoltage,      SettingId::UnderVoltage,
    SettingId::ThrottleUpRate,   SettingId::ThrottleDownRate, SettingId::BrakeCurrent,
    SettingId::TopSpeed,
};

// The slider range's top for a setting once `model` is selected.
std::uint16_t SliderMaximum(SettingId id, const ModelInfo& model);

std::uint16_t PositionToRaw(SettingId id, std::uint16_t position, const ModelInfo& model);

// Converts a stored value read from the controller to a slider position no
// greater than `maximum`. A value that wraps below zero ends at the maximum.
// Under Voltage clamped that way is then lowered until it is not above the
// over-voltage at `overVoltagePosition`.
std::uint16_t RawToPosition(SettingId id, std::uint16_t stored, const ModelInfo& model,
                            std::uint16_t maximum, std::uint16_t overVoltagePosition);

std::string PositionText(SettingId id, std::uint16_t position, const ModelInfo& model);

std::uint16_t DefaultPosition(SettingId id, std::uint16_t maximum);

double UnderVoltageAt(std::uint16_t position, const ModelInfo& model);
double OverVoltageAt(std::uint16_t position, const ModelInfo& model);

struct Correction
{
    std::uint16_t position;
    bool corrected;
};

// Under-voltage may equal the over-voltage (to the tenth of a volt) but never
// exceed it: the moved slider gives way.
Correction CorrectUnderVoltage(std::uint16_t underPosition, std::uint16_t overPosition,
                               const ModelInfo& model);
Correction CorrectOverVoltage(std::uint16_t overPosition, std::uint16_t underPosition,
                              const ModelInfo& model);

} // namespace kestrum
