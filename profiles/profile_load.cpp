#include "profiles/profile_load.h"

#include "link/controller.h"
#include "settings/control_panel.h"
#include "settings/model_table.h"
#include "throttle/sensor_types.h"
#include "throttle/throttle_response.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace kestrum {
namespace {

constexpr std::size_t kUnder = SettingIndex(SettingId::UnderVoltage);
constexpr std::size_t kOver = SettingIndex(SettingId::OverVoltage);

std::string ValueText(SettingId id, std::uint16_t stored, std::uint8_t modelCode)
{
    const SettingInfo& setting = FindSetting(id);
    const ModelInfo& model = FindModel(modelCode);
    return PositionText(id, setting.fromStored(stored, model), model);
}

// The texts the pages would show: the controller's value and a value it can
// take as its own model shows them, a value it cannot take as the profile's
// model showed it.
std::string SettingChange(const SettingInfo& setting, std::uint16_t from, std::uint16_t to,
                          std::uint8_t modelCode, std::uint8_t profileModelCode)
{
    const std::uint8_t toModel =
        StoredSettingInRange(setting.id, to, modelCode) ? modelCode : profileModelCode;
    std::string text = std::string(setting.label) + ": " + ValueText(setting.id, from, modelCode) +
                       " -> " + ValueText(setting.id, to, toModel);
    if (!setting.unit.empty())
        text += " " + std::string(setting.unit);
    return text;
}

const char* OnOff(bool on)
{
    return on ? "on" : "off";
}

std::string SensorText(std::uint8_t code)
{
    if (const auto index = SensorIndex(code))
        return std::string(kSensorTypes[*index].label);
    if (code == kNoSensorCode)
        return "none";
    return "code " + std::to_string(code);
}

void PlanPanel(const ControllerProfile& controller, const ControllerProfile& profile,
               LoadPlan& plan)
{
    const PanelProfile& holds = *controller.panel;
    const PanelProfile& wanted = *profile.panel;
    const auto& all = Settings();
    std::array<bool, kSettingCount> writes{};
    std::array<std::uint16_t, kSettingCount> final = holds.stored;
    std::array<LoadRefusal, kSettingCount> refusals{};
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (wanted.stored[i] == holds.stored[i])
            continue;
        if (!StoredSettingInRange(all[i].id, wanted.stored[i], controller.modelCode)) {
            refusals[i] = LoadRefusal::OutsideModelRange;
            continue;
        }
        writes[i] = true;
        final[i] = wanted.stored[i];
    }
    // What is written must leave Under Voltage at or below Over Voltage, as
    // the page's sliders do; if it would not, neither voltage is written.
    const ModelInfo& model = FindModel(controller.modelCode);
    if ((writes[kUnder] || writes[kOver]) &&
        UnderVoltageAt(all[kUnder].fromStored(final[kUnder], model), model) >
            OverVoltageAt(all[kOver].fromStored(final[kOver], model), model)) {
        for (std::size_t i : {kUnder, kOver}) {
            if (writes[i]) {
                writes[i] = false;
                refusals[i] = LoadRefusal::VoltagesWouldCross;
            }
        }
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (wanted.stored[i] == holds.stored[i])
            continue;
        plan.differences.push_back({SettingChange(all[i], holds.stored[i], wanted.stored[i],
                                                  controller.modelCode, profile.modelCode),
                                    refusals[i]});
        if (writes[i]) {
            plan.steps.push_back(
                {LoadStep::Kind::Setting, all[i].id, wanted.stored[i], std::string(all[i].label)});
        }
    }

    SwitchStates switches = wanted.switches;
    for (std::size_t i = 0; i < kSwitches.size(); ++i) {
        if (wanted.switches[i] == holds.switches[i])
            continue;
        LoadRefusal refusal = LoadRefusal::None;
        if (i == kPlugBrakeSwitch && !PlugBrakeSupported(controller.options)) {
            refusal = LoadRefusal::NoPlugBraking;
            switches[i] = holds.switches[i];
        }
        plan.differences.push_back({std::string(kSwitches[i].text) + ": " +
                                        OnOff(holds.switches[i]) + " -> " +
                                        OnOff(wanted.switches[i]),
                                    refusal});
    }
    if (switches != holds.switches)
        plan.steps.push_back({LoadStep::Kind::Switches, {}, SwitchByte(switches), "Switches"});
}

void PlanThrottle(const ControllerProfile& controller, const ControllerProfile& profile,
                  LoadPlan& plan)
{
    const ThrottleProfile& holds = *controller.throttle;
    const ThrottleProfile& wanted = *profile.throttle;
    if (wanted.table != holds.table) {
        std::string text = "Throttle curve: " + CurveDisplayName(holds.table) + " -> " +
                           CurveDisplayName(wanted.table);
        if (StandardCurveName(holds.table).empty() && StandardCurveName(wanted.table).empty()) {
            const auto differing = std::inner_product(
                holds.table.begin(), holds.table.end(), wanted.table.begin(), std::size_t{0},
                std::plus<>(), [](std::uint8_t a, std::uint8_t b) { return std::size_t{a != b}; });
            text += " (" + std::to_string(differing) + " entries differ)";
        }
        plan.differences.push_back({text, LoadRefusal::None});
        plan.table = wanted.table;
        plan.steps.push_back({LoadStep::Kind::Table, {}, 0, "Throttle table"});
    }
    if (wanted.sensorCode != holds.sensorCode) {
        LoadRefusal refusal = LoadRefusal::None;
        const auto index = SensorIndex(wanted.sensorCode);
        if (!index && wanted.sensorCode != kNoSensorCode) {
            refusal = LoadRefusal::UnknownSensorType;
        } else if (index && !SensorEnabled(kSensorTypes[*index], controller.options,
                                           IsRestrictedModel(controller.modelCode))) {
            refusal = LoadRefusal::SensorTypeNotUsable;
        }
        plan.differences.push_back({"Throttle sensor type: " + SensorText(holds.sensorCode) +
                                        " -> " + SensorText(wanted.sensorCode),
                                    refusal});
        if (refusal == LoadRefusal::None) {
            plan.steps.push_back(
                {LoadStep::Kind::SensorType, {}, wanted.sensorCode, "Throttle sensor type"});
        }
    }
}

} // namespace

const char* LoadRefusalText(LoadRefusal refusal)
{
    switch (refusal) {
    case LoadRefusal::None:
        break;
    case LoadRefusal::OutsideModelRange:
        return "outside this model's range";
    case LoadRefusal::VoltagesWouldCross:
        return "Under Voltage would lie above Over Voltage";
    case LoadRefusal::NoPlugBraking:
        return "this controller has no plug braking";
    case LoadRefusal::UnknownSensorType:
        return "not a sensor type this tool knows";
    case LoadRefusal::SensorTypeNotUsable:
        return "this controller cannot use it";
    case LoadRefusal::NotReadFromController:
        return "the controller's were not read";
    }
    return "";
}

LoadPlan PlanLoad(const ControllerProfile& controller, const ControllerProfile& profile)
{
    LoadPlan plan;
    plan.otherModel = controller.modelCode != profile.modelCode;
    plan.profileModel = profile.modelName;
    plan.controllerModel = controller.modelName;
    if (profile.panel) {
        if (controller.panel)
            PlanPanel(controller, profile, plan);
        else
            plan.differences.push_back(
                {"Control Panel settings", LoadRefusal::NotReadFromController});
    }
    if (profile.throttle) {
        if (controller.throttle)
            PlanThrottle(controller, profile, plan);
        else
            plan.differences.push_back(
                {"Throttle sensor type and curve", LoadRefusal::NotReadFromController});
    }
    return plan;
}

std::vector<std::string> DifferenceLines(const LoadPlan& plan)
{
    std::vector<std::string> lines;
    for (const ProfileDifference& difference : plan.differences) {
        lines.push_back(difference.refusal == LoadRefusal::None
                            ? difference.text
                            : difference.text +
                                  " (not written: " + LoadRefusalText(difference.refusal) + ")");
    }
    return lines;
}

LoadReport LoadProfile(CController& link, const LoadPlan& plan, ControlPanel& panel,
                       ThrottleResponse& response, RunProgress& progress)
{
    LoadReport report;
    panel.Revert();
    response.Revert();
    if (plan.steps.empty())
        return report;
    if (!link.IsPortOpen() && !link.LocateController()) {
        report.outcome = LoadReport::Outcome::NotLocated;
        for (const LoadStep& step : plan.steps)
            report.notWritten.push_back(step.name);
        return report;
    }
    std::size_t next = 0;
    try {
        for (; next < plan.steps.size(); ++next) {
            const LoadStep& step = plan.steps[next];
            switch (step.kind) {
            case LoadStep::Kind::Setting:
                WriteStoredSetting(link, FindSetting(step.setting), step.value);
                panel.Adopt(step.setting, step.value);
                break;
            case LoadStep::Kind::Switches:
                if (!link.WriteEeprom(kSwitchByteAddress, step.value))
                    throw CControllerException();
                panel.AdoptSwitches(static_cast<std::uint8_t>(step.value));
                break;
            case LoadStep::Kind::Table: {
                const TableWrite written = WriteThrottleTable(link, plan.table, progress);
                if (written == TableWrite::Partly) {
                    response.AdoptTable(plan.table, false);
                    report.outcome = LoadReport::Outcome::PartlyWritten;
                } else if (written != TableWrite::Complete) {
                    report.outcome = LoadReport::Outcome::NotResponding;
                } else {
                    response.AdoptTable(plan.table, true);
                    break;
                }
                for (; next < plan.steps.size(); ++next)
                    report.notWritten.push_back(plan.steps[next].name);
                return report;
            }
            case LoadStep::Kind::SensorType:
                if (!link.WriteEeprom(kSensorCodeAddress, step.value))
                    throw CControllerException();
                response.AdoptSensorCode(static_cast<std::uint8_t>(step.value));
                break;
            }
            report.written.push_back(step.name);
        }
    } catch (const CControllerException&) {
        // Every write goes out before its read-back, so the step that raised
        // was sent: only its confirmation is missing.
        report.outcome = LoadReport::Outcome::NotResponding;
        const LoadStep& cut = plan.steps[next];
        report.notVerified.push_back(cut.name);
        if (cut.kind == LoadStep::Kind::Setting && FindSetting(cut.setting).width > 1)
            report.possiblyMixed.push_back(cut.name);
        for (++next; next < plan.steps.size(); ++next)
            report.notWritten.push_back(plan.steps[next].name);
    }
    return report;
}

const char* LoadOutcomeText(LoadReport::Outcome outcome)
{
    switch (outcome) {
    case LoadReport::Outcome::Done:
        return "Profile loaded and verified";
    case LoadReport::Outcome::NotLocated:
        break;
    case LoadReport::Outcome::NotResponding:
        return "Profile only partly loaded";
    case LoadReport::Outcome::PartlyWritten:
        return kTablePartlyWrittenResult;
    }
    return "";
}

std::string OtherModelText(const std::string& profileModel, const std::string& controllerModel)
{
    return "This profile was taken from a " + profileModel + " controller; this controller is a " +
           controllerModel + ".";
}

std::string UnusableProfileText(const std::string& path)
{
    return path + " cannot be used as a controller profile.";
}

std::string LoadReportText(const LoadReport& report)
{
    if (report.outcome == LoadReport::Outcome::Done)
        return {};
    const auto names = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& name : list)
            text += (text.empty() ? "" : ", ") + name;
        return text.empty() ? std::string("nothing") : text;
    };
    std::string text = "Written and verified: " + names(report.written) + ".";
    if (!report.notVerified.empty())
        text += "\nNot verified (may have been written): " + names(report.notVerified) + ".";
    text += "\nNot written: " + names(report.notWritten) + ".";
    for (const std::string& name : report.possiblyMixed) {
        text += "\n" + name +
                " may hold a mix of its old and new values: load the profile again, or Refresh "
                "the Control Panel and Set it there.";
    }
    return text;
}

ReadOutcome ReadWholeController(CController& link, ControlPanel& panel, ThrottleResponse& response,
                                RunProgress& progress)
{
    if (!PanelComplete(panel)) {
        switch (panel.Refresh(link)) {
        case ControlPanel::Outcome::NotLocated:
            return ReadOutcome::NotLocated;
        case ControlPanel::Outcome::NotResponding:
            return ReadOutcome::NotResponding;
        default:
            break;
        }
    }
    if (!ThrottleComplete(response)) {
        switch (response.Refresh(link, progress)) {
        case ThrottleResponse::Outcome::NotLocated:
            return ReadOutcome::NotLocated;
        case ThrottleResponse::Outcome::NotResponding:
            return ReadOutcome::NotResponding;
        default:
            break;
        }
        response.Revert();
    }
    return ReadOutcome::Done;
}

} // namespace kestrum
