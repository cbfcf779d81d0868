#pragma once

#include "settings/voltage_scale.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The controller models this tool knows, selected by the model code byte the
// controller keeps at EEPROM 127. A row gives the display name and the limits
// of the under- and over-voltage settings. The table is constant data,
// initialised before any code runs and never changed.
namespace kestrum {

struct ModelInfo
{
    constexpr ModelInfo(std::uint8_t code, std::string_view family, std::string_view model,
                        double underVoltageMin, double underVoltageMax, double overVoltageMin,
                        double overVoltageMax)
        : code(code), family(family), model(model), underVoltageMin(underVoltageMin),
          underVoltageMax(underVoltageMax), overVoltageMin(overVoltageMin),
          overVoltageMax(overVoltageMax),
          // The spans are converted from the difference in volts: converting
          // each end and subtracting can come out one count short.
          underVoltageSpan(VoltsToCounts(underVoltageMax - underVoltageMin)),
          overVoltageSpan(VoltsToCounts(overVoltageMax - overVoltageMin)),
          underVoltageOffset(VoltsToCounts(underVoltageMin)),
          overVoltageOffset(VoltsToCounts(overVoltageMin))
    {}

    std::uint8_t code;
    std::string_view family;
    std::string_view model;
    double underVoltageMin;
    double underVoltageMax;
    double overVoltageMin;
    double overVoltageMax;
    std::int32_t underVoltageSpan;   // top position of the Under Voltage slider
    std::int32_t overVoltageSpan;    // top position of the Over Voltage slider
    std::int32_t underVoltageOffset; // stored value of Under Voltage position 0
    std::int32_t overVoltageOffset;  // stored value of Over Voltage position 0
};

// Rows searched by a lookup; the row at this index is the fallback row.
inline constexpr std::uint8_t ModelCount = 65;

extern const std::array<ModelInfo, ModelCount + 1> ModelTable;

// The fallback row, "UNKNOWN", which a page starts with.
const ModelInfo& FallbackModel();

// The first row with this code, else the fallback row.
const ModelInfo& FindModel(std::uint8_t code);

// Family, one space, model.
std::string DisplayName(const ModelInfo& row);

} // namespace kestrum
