#include "profiles/controller_profile.h"

#include "settings/control_panel.h"
#include "settings/model_table.h"
#include "throttle/throttle_curves.h"
#include "throttle/throttle_response.h"
#include "tools/log_file.h"

#include <cstdio>

#ifndef KESTRUM_VERSION_TEXT
#define KESTRUM_VERSION_TEXT "0.0.0.0"
#endif

namespace kestrum {
namespace {

// The captions of the Throttle Response page's curve buttons, in the order
// of AllCurves().
constexpr std::array<std::string_view, kFixedCurveCount> kStandardCurveLabels{
    "Linear", "S-Curve", "Progressive", "Inductive"};

} // namespace

std::string StoredSettingText(SettingId id, std::uint16_t stored, std::uint8_t modelCode)
{
    const SettingInfo& setting = FindSetting(id);
    const ModelInfo& model = FindModel(modelCode);
    std::string text = PositionText(id, setting.fromStored(stored, model), model);
    if (!setting.unit.empty()) {
        text += ' ';
        text += setting.unit;
    }
    return text;
}

bool StoredSettingInRange(SettingId id, std::uint16_t stored, std::uint8_t modelCode)
{
    const SettingInfo& setting = FindSetting(id);
    const ModelInfo& model = FindModel(modelCode);
    const std::uint16_t position = setting.fromStored(stored, model);
    // A value that wrapped below the model's minimum comes out huge, so the
    // round trip catches it as well as a value beyond the top.
    return position <= SliderMaximum(id, model) && setting.toStored(position, model) == stored &&
           (setting.width == 2 || stored <= 0xFF);
}

std::string StandardCurveName(const ThrottleTable& table)
{
    const auto curves = AllCurves();
    for (std::size_t i = 0; i < kStandardCurveLabels.size(); ++i) {
        if (curves[i]->table == table)
            return std::string(kStandardCurveLabels[i]);
    }
    return {};
}

std::string CurveDisplayName(const ThrottleTable& table)
{
    const std::string name = StandardCurveName(table);
    return name.empty() ? "Custom" : name;
}

bool PanelComplete(const ControlPanel& panel)
{
    if (!panel.SwitchesRead())
        return false;
    for (const SettingInfo& setting : Settings()) {
        if (!panel.SettingRead(setting.id))
            return false;
    }
    return true;
}

bool ThrottleComplete(const ThrottleResponse& response)
{
    return response.SensorsRead() && response.Written() != nullptr && response.TableKnown();
}

std::optional<ControllerProfile> CaptureProfile(const ControlPanel& panel,
                                                const ThrottleResponse& response)
{
    if (!panel.AnythingRead())
        return std::nullopt;
    ControllerProfile profile;
    profile.takenAt = ProfileTimeNow();
    profile.toolVersion = ToolVersion();
    const ModelInfo& model = panel.CurrentModel();
    profile.modelCode = model.code;
    profile.modelName = panel.ModelLabel();
    profile.serialNumber = panel.SerialNumberLabel();
    profile.fieldMap = panel.FieldMapLabel();
    profile.options = panel.Options();
    if (PanelComplete(panel)) {
        PanelProfile settings;
        const auto& all = Settings();
        for (std::size_t i = 0; i < all.size(); ++i)
            settings.stored[i] = all[i].toStored(panel.RememberedValue(all[i].id), model);
        settings.switches = SwitchesFromByte(panel.RememberedSwitches());
        profile.panel = settings;
    }
    if (ThrottleComplete(response)) {
        profile.throttle = ThrottleProfile{response.SensorCode(), response.Written()->table};
    }
    return profile;
}

std::string ToolVersion()
{
    return KESTRUM_VERSION_TEXT;
}

std::string ProfileTimeNow()
{
    const LocalTime now = CurrentLocalTime();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return text;
}

} // namespace kestrum
