#pragma once

#include "settings/controller_check.h"
#include "settings/model_table.h"
#include "settings/setting_map.h"
#include "settings/switch_byte.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

class CController;

// Writes one setting's stored value, low byte first, each byte verified by
// the link. Raises CControllerException when a byte is not confirmed.
void WriteStoredSetting(CController& link, const SettingInfo& setting, std::uint16_t stored);

// What the Control Panel page shows and what it remembers of the controller,
// and the page's commands on top of the controller link, without any widget:
// the page mirrors this state into its controls after each command.
//
// The remembered values are what the controller was last seen to hold (read
// or written). Set writes only what differs from them, and the Set button is
// enabled only while something differs.
class ControlPanel
{
public:
    enum class Outcome
    {
        Done,
        NotLocated,    // the link found no controller and told the user itself
        NotResponding, // the link gave up; what was done before stays
        PortClosed,    // Set with no open port: nothing was done
    };

    struct SliderMove
    {
        std::uint16_t position;   // where the slider ends up
        std::string_view message; // to show before moving it there; empty if none
    };

    static constexpr std::string_view kUnderVoltageMessage =
        "UnderVoltage cannot be greater than OverVoltage.";
    static constexpr std::string_view kOverVoltageMessage =
        "OverVoltage cannot be less than UnderVoltage.";

    ControlPanel();

    // Reads model, field map, serial number, the seven settings, the switch
    // byte and the options byte, in that order, after locating the
    // controller. Throws nothing: a controller that stops answering ends the
    // read with NotResponding and keeps what was read before.
    Outcome Refresh(CController& link);
    // Writes the settings and the switch byte that differ from what was
    // remembered, in order. A failure keeps what was written before it.
    Outcome Set(CController& link);
    // Moves the sliders to the factory defaults; writes nothing.
    void Defaults();
    // The user moved a slider to `position`. The voltage sliders give way
    // rather than cross each other; the message is left out at the end of a
    // drag, which only settles where the slider already is.
    SliderMove MoveSlider(SettingId id, std::uint16_t position, bool endOfMove);
    void SetSwitch(std::size_t index, bool checked);
    // Puts every slider and switch back to what the controller holds.
    void Revert();
    // The controller was seen to take `stored` for a setting, or `switchByte`
    // (written outside Set, by a profile load): both the control and what is
    // remembered follow.
    void Adopt(SettingId id, std::uint16_t stored);
    void AdoptSwitches(std::uint8_t switchByte);
    // Enables Set exactly when a slider or switch differs from what the
    // controller holds.
    void UpdateSetButton();

    // How many settings (the switches counting as one) the last Set wrote
    // and verified, also when it ended early.
    std::size_t WrittenBySet() const { return writtenBySet_; }

    const ModelInfo& CurrentModel() const { return *currentModel_; }
    // Model code and serial number of the controller last read, when the
    // last refresh read all four.
    const std::optional<ControllerKey>& Key() const { return key_; }
    const std::string& ModelLabel() const { return modelLabel_; }
    const std::string& SerialNumberLabel() const { return serialNumberLabel_; }
    const std::string& FieldMapLabel() const { return fieldMapLabel_; }

    std::uint16_t Position(SettingId id) const { return Slider(id).position; }
    std::uint16_t Maximum(SettingId id) const { return Slider(id).maximum; }
    std::uint16_t RememberedValue(SettingId id) const { return Slider(id).rememberedValue; }
    const std::string& ValueText(SettingId id) const { return Slider(id).text; }

    bool SwitchChecked(std::size_t index) const
    {
        return index < switches_.size() && switches_[index];
    }
    std::uint8_t RememberedSwitches() const { return rememberedSwitches_; }
    bool PlugBrakeEnabled() const { return plugBrakeEnabled_; }
    // The options byte as last read (0 before).
    std::uint8_t Options() const { return options_; }
    // Set needs something to differ from a value that was read: before the
    // first successful read there is nothing the user saw or chose.
    bool SetEnabled() const { return setEnabled_ && AnythingRead(); }
    // Whether the controller's value of a setting, or the switch byte, was
    // ever read. Until then its control shows no reading and is never written.
    bool SettingRead(SettingId id) const { return Slider(id).read; }
    bool SwitchesRead() const { return switchesRead_; }
    bool AnythingRead() const;
    bool Refreshed() const { return refreshed_; }

private:
    struct SliderState
    {
        std::uint16_t position = 0;
        std::uint16_t maximum = 0;
        std::uint16_t rememberedValue = 0;
        std::string text;
        bool read = false; // the controller's value is known (read or written)
    };

    SliderState& Slider(SettingId id);
    const SliderState& Slider(SettingId id) const;
    void ReadAll(CController& link);
    void SelectModel(const ModelInfo& row);
    void ReadSetting(CController& link, const SettingInfo& setting);
    void WriteSetting(CController& link, const SettingInfo& setting, std::uint16_t position);
    void ShowSetting(SettingId id, std::uint16_t position);

    const ModelInfo* currentModel_;
    std::string modelLabel_ = "UNKNOWN";
    std::string serialNumberLabel_;
    std::string fieldMapLabel_;
    std::optional<ControllerKey> key_;
    std::array<SliderState, kSettingCount> sliders_; // in the order of Settings()
    SwitchStates switches_{};
    // Before the first refresh the four clear check boxes count as unchanged.
    std::uint8_t rememberedSwitches_ = 0x08;
    std::size_t writtenBySet_ = 0;
    std::uint8_t options_ = 0;
    bool plugBrakeEnabled_ = true;
    bool setEnabled_ = true;
    bool switchesRead_ = false;
    bool refreshed_ = false;
};

} // namespace kestrum
