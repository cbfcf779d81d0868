#include "settings/control_panel.h"

#include "link/controller.h"
#include "settings/identity.h"

#include <algorithm>

namespace kestrum {
namespace {

// What the page assumes the controller holds before it has read anything,
// in the order of Settings(). The sliders themselves start at 0, so the
// first slider or switch event enables Set.
constexpr std::array<std::uint16_t, kSettingCount> kInitialRemembered{100, 0, 0, 0, 0, 100, 0};

// The link's writes raise when the controller does not confirm them; a write
// that reports failure otherwise is treated the same, never as success.
void WriteByte(CController& link, unsigned address, std::uint8_t value)
{
    if (!link.WriteEeprom(address, value))
        throw CControllerException();
}

} // namespace

void WriteStoredSetting(CController& link, const SettingInfo& setting, std::uint16_t stored)
{
    for (std::uint8_t i = 0; i < setting.width; ++i)
        WriteByte(link, setting.address + i, static_cast<std::uint8_t>(stored >> (8 * i)));
}

ControlPanel::ControlPanel() : currentModel_(&FallbackModel())
{
    const auto& settings = Settings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        sliders_[i].maximum = settings[i].fixedMaximum;
        sliders_[i].rememberedValue = kInitialRemembered[i];
        sliders_[i].text = settings[i].text(0, *currentModel_);
    }
}

ControlPanel::SliderState& ControlPanel::Slider(SettingId id)
{
    return sliders_[SettingIndex(id)];
}

const ControlPanel::SliderState& ControlPanel::Slider(SettingId id) const
{
    return sliders_[SettingIndex(id)];
}

ControlPanel::Outcome ControlPanel::Refresh(CController& link)
{
    // Set first, so that a refresh that fails is repeated only on request.
    refreshed_ = true;
    if (!link.LocateController())
        return Outcome::NotLocated;
    Outcome outcome = Outcome::Done;
    try {
        ReadAll(link);
    } catch (const CControllerException&) {
        outcome = Outcome::NotResponding;
    }
    setEnabled_ = false;
    return outcome;
}

// A read that reports failure without raising (the link does so when it is
// set to make no attempts) leaves the model, the settings, the switches and
// the Plug Brake enabling as they were; the identity numbers show 0.
void ControlPanel::ReadAll(CController& link)
{
    key_.reset();
    std::uint8_t code = 0;
    const bool codeRead = link.ReadEeprom(identity::kModelCodeAddress, code);
    if (codeRead && code != currentModel_->code)
        SelectModel(FindModel(code));

    // The identity texts are always replaced, so that a quietly failed read
    // cannot leave another controller's numbers on show: what was not read
    // counts as 0.
    std::uint16_t fieldMap = 0;
    if (!link.ReadFlash(identity::kFieldMapAddress, fieldMap))
        fieldMap = 0;
    fieldMapLabel_ = FieldMapText(fieldMap);

    std::array<std::uint8_t, 3> serial{};
    bool serialRead = true;
    for (std::size_t i = 0; i < serial.size(); ++i) {
        if (!link.ReadEeprom(identity::kSerialNumberAddress + i, serial[i])) {
            serial[i] = 0;
            serialRead = false;
        }
    }
    serialNumberLabel_ = SerialNumberText(serial[0], serial[1], serial[2]);
    if (codeRead && serialRead)
        key_ = ControllerKey{code, serial};

    for (SettingId id : kRefreshOrder)
        ReadSetting(link, FindSetting(id));

    std::uint8_t switchByte = 0;
    if (link.ReadEeprom(kSwitchByteAddress, switchByte)) {
        rememberedSwitches_ = switchByte;
        switchesRead_ = true;
    }
    switches_ = SwitchesFromByte(rememberedSwitches_);

    std::uint8_t options = 0;
    if (link.ReadEeprom(kOptionsByteAddress, options)) {
        options_ = options;
        plugBrakeEnabled_ = PlugBrakeSupported(options);
    }
}

void ControlPanel::SelectModel(const ModelInfo& row)
{
    currentModel_ = &row;
    modelLabel_ = DisplayName(row);
    for (SettingId id : {SettingId::UnderVoltage, SettingId::OverVoltage}) {
        SliderState& slider = Slider(id);
        slider.maximum = SliderMaximum(id, row);
        // A slider keeps its position inside a narrower range, and its text
        // says what that position means for this model even if the refresh
        // ends before the setting itself is read.
        ShowSetting(id, std::min(slider.position, slider.maximum));
    }
}

void ControlPanel::ReadSetting(CController& link, const SettingInfo& setting)
{
    std::uint16_t stored = 0;
    for (std::uint8_t i = 0; i < setting.width; ++i) {
        std::uint8_t byte = 0;
        if (!link.ReadEeprom(setting.address + i, byte))
            return;
        stored |= static_cast<std::uint16_t>(byte << (8 * i));
    }
    SliderState& slider = Slider(setting.id);
    const std::uint16_t position = RawToPosition(setting.id, stored, *currentModel_, slider.maximum,
                                                 Position(SettingId::OverVoltage));
    slider.rememberedValue = position;
    slider.read = true;
    ShowSetting(setting.id, position);
}

bool ControlPanel::AnythingRead() const
{
    return switchesRead_ || std::any_of(sliders_.begin(), sliders_.end(),
                                        [](const SliderState& s) { return s.read; });
}

ControlPanel::Outcome ControlPanel::Set(CController& link)
{
    writtenBySet_ = 0;
    if (!link.IsPortOpen())
        return Outcome::PortClosed;
    try {
        for (const SettingInfo& setting : Settings()) {
            SliderState& slider = Slider(setting.id);
            if (!slider.read || slider.position == slider.rememberedValue)
                continue;
            WriteSetting(link, setting, slider.position);
            slider.rememberedValue = slider.position;
            ++writtenBySet_;
        }
        const std::uint8_t switchByte = SwitchByte(switches_);
        if (switchesRead_ && switchByte != rememberedSwitches_) {
            WriteByte(link, kSwitchByteAddress, switchByte);
            rememberedSwitches_ = switchByte;
            ++writtenBySet_;
        }
    } catch (const CControllerException&) {
        // The Set button stays as it was: something is still unwritten.
        return Outcome::NotResponding;
    }
    setEnabled_ = false;
    return Outcome::Done;
}

void ControlPanel::WriteSetting(CController& link, const SettingInfo& setting,
                                std::uint16_t position)
{
    WriteStoredSetting(link, setting, setting.toStored(position, *currentModel_));
}

void ControlPanel::Defaults()
{
    for (const SettingInfo& setting : Settings()) {
        const SliderState& slider = Slider(setting.id);
        const std::uint16_t position = DefaultPosition(setting.id, slider.maximum);
        if (slider.read && slider.position != position)
            ShowSetting(setting.id, position);
    }
    UpdateSetButton();
}

ControlPanel::SliderMove ControlPanel::MoveSlider(SettingId id, std::uint16_t position,
                                                  bool endOfMove)
{
    SliderMove move{std::min(position, Maximum(id)), {}};
    Correction correction{move.position, false};
    std::string_view message;
    if (id == SettingId::UnderVoltage) {
        correction =
            CorrectUnderVoltage(move.position, Position(SettingId::OverVoltage), *currentModel_);
        message = kUnderVoltageMessage;
    } else if (id == SettingId::OverVoltage) {
        correction =
            CorrectOverVoltage(move.position, Position(SettingId::UnderVoltage), *currentModel_);
        message = kOverVoltageMessage;
    }
    move.position = std::min(correction.position, Maximum(id));
    if (correction.corrected && !endOfMove)
        move.message = message;
    ShowSetting(id, move.position);
    UpdateSetButton();
    return move;
}

void ControlPanel::SetSwitch(std::size_t index, bool checked)
{
    if (index < switches_.size())
        switches_[index] = checked;
}

void ControlPanel::Revert()
{
    for (const SettingInfo& setting : Settings()) {
        const SliderState& slider = Slider(setting.id);
        if (slider.read)
            ShowSetting(setting.id, slider.rememberedValue);
    }
    switches_ = SwitchesFromByte(rememberedSwitches_);
    UpdateSetButton();
}

void ControlPanel::Adopt(SettingId id, std::uint16_t stored)
{
    SliderState& slider = Slider(id);
    const std::uint16_t position =
        RawToPosition(id, stored, *currentModel_, slider.maximum, Position(SettingId::OverVoltage));
    slider.rememberedValue = position;
    slider.read = true;
    ShowSetting(id, position);
    UpdateSetButton();
}

void ControlPanel::AdoptSwitches(std::uint8_t switchByte)
{
    rememberedSwitches_ = switchByte;
    switchesRead_ = true;
    switches_ = SwitchesFromByte(switchByte);
    UpdateSetButton();
}

void ControlPanel::UpdateSetButton()
{
    bool differs = SwitchesFromByte(rememberedSwitches_) != switches_;
    for (const SliderState& slider : sliders_)
        differs = differs || slider.position != slider.rememberedValue;
    setEnabled_ = differs;
}

void ControlPanel::ShowSetting(SettingId id, std::uint16_t position)
{
    SliderState& slider = Slider(id);
    slider.position = position;
    slider.text = PositionText(id, position, *currentModel_);
}

} // namespace kestrum
