#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "profiles/controller_profile.h"
#include "settings/control_panel.h"
#include "settings/model_table.h"

#include <cstdio>

// identify and settings: what the Control Panel reads, as text or JSON.
namespace kestrum::cli {
namespace {

// Reads as the Control Panel's Refresh does; the exit status of a failure.
std::optional<int> ReadPanel(Session& session, ControlPanel& panel)
{
    if (!Connect(session))
        return kNoController;
    switch (panel.Refresh(session.link)) {
    case ControlPanel::Outcome::NotLocated:
        return kNoController;
    case ControlPanel::Outcome::Done:
        // A link set to make no attempts fails each read quietly, and the
        // page keeps what it had ("UNKNOWN" and zeros): nothing of such a
        // refresh may print as a value.
        if (PanelComplete(panel))
            return std::nullopt;
        break;
    default:
        break;
    }
    return NotResponding();
}

} // namespace

int RunIdentify(Session& session)
{
    ControlPanel panel;
    if (const auto failed = ReadPanel(session, panel))
        return *failed;
    const ModelInfo& model = panel.CurrentModel();
    const std::string port = session.link.Port().Name();
    if (session.options.json) {
        PrintJson({{"model", std::string(model.model)},
                   {"family", std::string(model.family)},
                   {"modelCode", model.code},
                   {"serialNumber", panel.SerialNumberLabel()},
                   {"fieldMap", panel.FieldMapLabel()},
                   {"port", port}});
        return kSuccess;
    }
    std::printf("Model: %s\nFamily: %s\nSerial Number: %s\nField Map: %s\nPort: %s\n",
                std::string(model.model).c_str(), std::string(model.family).c_str(),
                panel.SerialNumberLabel().c_str(), panel.FieldMapLabel().c_str(), port.c_str());
    return kSuccess;
}

int RunSettings(Session& session)
{
    ControlPanel panel;
    if (const auto failed = ReadPanel(session, panel))
        return *failed;
    const std::uint8_t model = panel.CurrentModel().code;
    Json settings = Json::object();
    Json switches = Json::object();
    std::string text;
    for (const SettingInfo& setting : Settings()) {
        const std::string shown = StoredSettingText(
            setting.id, setting.toStored(panel.RememberedValue(setting.id), panel.CurrentModel()),
            model);
        settings[std::string(setting.label)] = shown;
        text += std::string(setting.label) + ": " + shown + "\n";
    }
    for (std::size_t i = 0; i < kSwitches.size(); ++i) {
        const bool on = SwitchesFromByte(panel.RememberedSwitches())[i];
        switches[std::string(kSwitches[i].text)] = on;
        text += std::string(kSwitches[i].text) + ": " + (on ? "on" : "off") + "\n";
    }
    if (session.options.json)
        PrintJson({{"settings", settings}, {"switches", switches}});
    else
        std::fputs(text.c_str(), stdout);
    return kSuccess;
}

} // namespace kestrum::cli
