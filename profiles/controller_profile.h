#pragma once

#include "settings/setting_map.h"
#include "settings/switch_byte.h"
#include "throttle/throttle_tables.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrum {

class ControlPanel;
class ThrottleResponse;

// A controller's whole setup as the pages know it, for keeping in a file and
// writing to another controller. Settings are kept as the stored EEPROM
// values (voltages count from 0 V, so a value means the same on every model);
// their display texts are derived from them.
struct PanelProfile
{
    std::array<std::uint16_t, kSettingCount> stored{}; // in the order of Settings()
    SwitchStates switches{};
    bool operator==(const PanelProfile&) const = default;
};

struct ThrottleProfile
{
    std::uint8_t sensorCode = 0;
    ThrottleTable table{};
    bool operator==(const ThrottleProfile&) const = default;
};

struct ControllerProfile
{
    std::string takenAt;     // local time, "YYYY-MM-DDThh:mm:ss"
    std::string toolVersion; // of the tool that took it
    // For the service history: what it was kept before ("Set", "Throttle
    // Set", "Profile load", "Upgrade"); empty in a profile saved by hand.
    std::string keptBefore;
    std::uint8_t modelCode = 0;
    std::string modelName;
    std::string serialNumber; // as the Control Panel shows it: decimal or "blank"
    std::string fieldMap;
    std::uint8_t options = 0; // EEPROM 23: what the controller can do, never written
    // Absent when its page has not read all of it.
    std::optional<PanelProfile> panel;
    std::optional<ThrottleProfile> throttle;
    bool operator==(const ControllerProfile&) const = default;
};

// The text the Control Panel shows for a stored value, with its unit when it
// has one ("24.0 Volts", "5").
std::string StoredSettingText(SettingId id, std::uint16_t stored, std::uint8_t modelCode);

// Whether the Control Panel of `modelCode` can show `stored`: it converts to a
// position within the model's slider range.
bool StoredSettingInRange(SettingId id, std::uint16_t stored, std::uint8_t modelCode);

// "Linear", "S-Curve" ... for a table equal to a standard curve; empty for
// any other table.
std::string StandardCurveName(const ThrottleTable& table);
// The same, with "Custom" for any other table, as the page's buttons say.
std::string CurveDisplayName(const ThrottleTable& table);

// What the pages last read, without a request on the wire. None when the
// Control Panel never read the controller: a profile without an identity
// belongs to nobody.
std::optional<ControllerProfile> CaptureProfile(const ControlPanel& panel,
                                                const ThrottleResponse& response);

// Every part of the profile is there: the Control Panel read every setting
// and the switches, the Throttle Response page read the sensor and the table.
bool PanelComplete(const ControlPanel& panel);
bool ThrottleComplete(const ThrottleResponse& response);

// The version written into profiles ("1.0.0.1").
std::string ToolVersion();
// The local time now, as takenAt holds it.
std::string ProfileTimeNow();

} // namespace kestrum
