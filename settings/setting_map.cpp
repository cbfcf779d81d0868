#include "settings/setting_map.h"

#include "settings/voltage_scale.h"

#include <charconv>

namespace kestrum {
namespace {

std::string Decimal(std::uint16_t position, const ModelInfo&)
{
    return std::to_string(position);
}

// One decimal place with a point, whatever the user's locale: the GUI library
// takes the numeric locale from the environment, and printf would then write
// "16,0" on a German desktop.
std::string OneDecimal(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

std::uint16_t Unchanged(std::uint16_t value, const ModelInfo&)
{
    return value;
}

// Voltages are stored as counts from 0 V; position 0 is the model's minimum.
std::uint16_t UnderToStored(std::uint16_t position, const ModelInfo& model)
{
    return static_cast<std::uint16_t>(position + model.underVoltageOffset);
}

std::uint16_t UnderFromStored(std::uint16_t stored, const ModelInfo& model)
{
    return static_cast<std::uint16_t>(stored - model.underVoltageOffset);
}

std::string UnderText(std::uint16_t position, const ModelInfo& model)
{
    return OneDecimal(UnderVoltageAt(position, model));
}

std::int32_t UnderSpan(const ModelInfo& model)
{
    return model.underVoltageSpan;
}

std::uint16_t OverToStored(std::uint16_t position, const ModelInfo& model)
{
    return static_cast<std::uint16_t>(position + model.overVoltageOffset);
}

std::uint16_t OverFromStored(std::uint16_t stored, const ModelInfo& model)
{
    return static_cast<std::uint16_t>(stored - model.overVoltageOffset);
}

std::string OverText(std::uint16_t position, const ModelInfo& model)
{
    return OneDecimal(OverVoltageAt(position, model));
}

std::int32_t OverSpan(const ModelInfo& model)
{
    return model.overVoltageSpan;
}

// Top Speed is stored inverted: 0 is full speed, 100 half speed. The slider
// runs from 50.0 % at position 0 to 100.0 % at 100 in steps of 0.5 %.
std::uint16_t TopSpeedToStored(std::uint16_t position, const ModelInfo&)
{
    return static_cast<std::uint8_t>(100 - position);
}

std::uint16_t TopSpeedFromStored(std::uint16_t stored, const ModelInfo&)
{
    return static_cast<std::uint16_t>(100 - stored);
}

std::string TopSpeedText(std::uint16_t position, const ModelInfo&)
{
    return OneDecimal(position * 0.5 + 50);
}

// clang-format off
constexpr std::array<SettingInfo, kSettingCount> kSettings{{
    {SettingId::MaxOutputCurrent, "Max Output Current", "%", 4, 1, 100, nullptr, 100, false,
     Unchanged, Unchanged, Decimal},
    {SettingId::UnderVoltage, "Under Voltage", "Volts", 7, 2, 100, UnderSpan, 0, false,
     UnderToStored, UnderFromStored, UnderText},
    {SettingId::OverVoltage, "Over Voltage", "Volts", 16, 2, 100, OverSpan, 0, true,
     OverToStored, OverFromStored, OverText},
    {SettingId::ThrottleUpRate, "Throttle Up Rate", "", 9, 1, 15, nullptr, 5, false,
     Unchanged, Unchanged, Decimal},
    {SettingId::ThrottleDownRate, "Throttle Down Rate", "", 10, 1, 15, nullptr, 10, false,
     Unchanged, Unchanged, Decimal},
    {SettingId::BrakeCurrent, "Brake Current", "%", 11, 1, 100, nullptr, 100, false,
     Unchanged, Unchanged, Decimal},
    {SettingId::TopSpeed, "Top Speed", "%", 56, 1, 100, nullptr, 0, false,
     TopSpeedToStored, TopSpeedFromStored, TopSpeedText},
}};
// clang-format on

constexpr bool InSettingIdOrder()
{
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        if (SettingIndex(kSettings[i].id) != i)
            return false;
    }
    return true;
}
static_assert(InSettingIdOrder(), "FindSetting looks a setting up by its id");

} // namespace

const std::array<SettingInfo, kSettingCount>& Settings()
{
    return kSettings;
}

const SettingInfo& FindSetting(SettingId id)
{
    return kSettings.at(SettingIndex(id));
}

std::uint16_t SliderMaximum(SettingId id, const ModelInfo& model)
{
    const SettingInfo& setting = FindSetting(id);
    if (setting.modelMaximum == nullptr)
        return setting.fixedMaximum;
    const std::int32_t top = setting.modelMaximum(model);
    return static_cast<std::uint16_t>(top < 0 ? 0 : top > 0xFFFF ? 0xFFFF : top);
}

std::uint16_t PositionToRaw(SettingId id, std::uint16_t position, const ModelInfo& model)
{
    return FindSetting(id).toStored(position, model);
}

std::uint16_t RawToPosition(SettingId id, std::uint16_t stored, const ModelInfo& model,
                            std::uint16_t maximum, std::uint16_t overVoltagePosition)
{
    std::uint16_t position = FindSetting(id).fromStored(stored, model);
    if (position <= maximum)
        return position;
    position = maximum;
    // An unprogrammed or out-of-range under-voltage must not come up above
    // the over-voltage just read; position 0 (the model's minimum) always
    // lies below every over-voltage, so the walk ends there at the latest.
    if (id == SettingId::UnderVoltage)
        position = CorrectUnderVoltage(position, overVoltagePosition, model).position;
    return position;
}

std::string PositionText(SettingId id, std::uint16_t position, const ModelInfo& model)
{
    return FindSetting(id).text(position, model);
}

std::uint16_t DefaultPosition(SettingId id, std::uint16_t maximum)
{
    const SettingInfo& setting = FindSetting(id);
    return setting.defaultAtMaximum ? maximum : setting.defaultPosition;
}

double UnderVoltageAt(std::uint16_t position, const ModelInfo& model)
{
    return CountsToVolts(position) + model.underVoltageMin;
}

double OverVoltageAt(std::uint16_t position, const ModelInfo& model)
{
    return CountsToVolts(position) + model.overVoltageMin;
}

Correction CorrectUnderVoltage(std::uint16_t underPosition, std::uint16_t overPosition,
                               const ModelInfo& model)
{
    const std::int32_t limit = VoltageTenths(OverVoltageAt(overPosition, model));
    Correction result{underPosition, false};
    while (result.position > 0 && VoltageTenths(UnderVoltageAt(result.position, model)) > limit) {
        --result.position;
        result.corrected = true;
    }
    return result;
}

Correction CorrectOverVoltage(std::uint16_t overPosition, std::uint16_t underPosition,
                              const ModelInfo& model)
{
    const std::int32_t limit = VoltageTenths(UnderVoltageAt(underPosition, model));
    Correction result{overPosition, false};
    while (result.position < 0xFFFF &&
           VoltageTenths(OverVoltageAt(result.position, model)) < limit) {
        ++result.position;
        result.corrected = true;
    }
    return result;
}

} // namespace kestrum
