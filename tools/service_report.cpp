#include "tools/service_report.h"

#include "link/controller.h"
#include "profiles/profile_file.h"
#include "profiles/profile_load.h"
#include "profiles/service_history.h"
#include "settings/control_panel.h"
#include "settings/identity.h"
#include "settings/model_table.h"
#include "throttle/sensor_types.h"
#include "throttle/throttle_response.h"
#include "tools/error_log_export.h"
#include "tools/log_file.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace kestrum {
namespace {

std::string SensorTypeText(std::uint8_t code)
{
    if (const auto index = SensorIndex(code))
        return std::string(kSensorTypes[*index].label);
    if (code == kNoSensorCode)
        return "none";
    return "code " + std::to_string(code);
}

// Only what both profiles hold is compared: a page that had not read before
// a change says nothing about what the change did to its part.
ControllerProfile Comparable(const ControllerProfile& before, ControllerProfile after)
{
    if (!before.panel)
        after.panel.reset();
    if (!before.throttle)
        after.throttle.reset();
    return after;
}

std::vector<std::string> ChangeLines(const ControllerProfile& before,
                                     const ControllerProfile& after)
{
    std::vector<std::string> lines;
    // The texts profile Compare shows; whether a load could write them
    // back is no concern of a record of what happened.
    for (const ProfileDifference& difference :
         PlanLoad(before, Comparable(before, after)).differences)
        lines.push_back(difference.text);
    return lines;
}

std::vector<std::string> SplitEntries(const std::string& line)
{
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t comma = line.find(',', start);
        const std::size_t end = comma == std::string::npos ? line.size() : comma;
        entries.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

struct FreshIdentity
{
    std::uint8_t modelCode = 0;
    std::string serialNumber;
};

// Quiet failures count as no answer: a report must not guess whose it is.
std::optional<FreshIdentity> ReadIdentity(CController& link)
{
    FreshIdentity fresh;
    std::array<std::uint8_t, 3> serial{};
    if (!link.ReadEeprom(identity::kModelCodeAddress, fresh.modelCode))
        return std::nullopt;
    for (std::size_t i = 0; i < serial.size(); ++i) {
        if (!link.ReadEeprom(identity::kSerialNumberAddress + i, serial[i]))
            return std::nullopt;
    }
    fresh.serialNumber = SerialNumberText(serial[0], serial[1], serial[2]);
    return fresh;
}

bool PanelIsOf(const ControlPanel& panel, const FreshIdentity& fresh)
{
    return PanelComplete(panel) && panel.SerialNumberLabel() == fresh.serialNumber &&
           panel.CurrentModel().code == FindModel(fresh.modelCode).code;
}

bool ThrottleIsOf(const ThrottleResponse& response, const std::optional<ThrottleReadOf>& of,
                  const std::string& serialNumber)
{
    return ThrottleComplete(response) && of && of->serialNumber == serialNumber &&
           of->throttle == ThrottleProfile{response.SensorCode(), response.Written()->table};
}

} // namespace

ServiceReport ComposeServiceReport(const ControllerProfile& profile,
                                   const std::vector<std::string>& errorLog,
                                   const ReportContext& context)
{
    ServiceReport report;
    const ModelInfo& model = FindModel(profile.modelCode);
    report.model = model.model;
    report.family = model.family;
    report.serialNumber = profile.serialNumber;
    report.fieldMap = profile.fieldMap;
    report.madeAt = context.madeAt;
    report.toolVersion = ToolVersion();
    report.port = context.port;
    report.technician = context.technician;
    report.workshop = context.workshop;
    if (profile.panel) {
        const auto& settings = Settings();
        for (std::size_t i = 0; i < settings.size(); ++i) {
            report.settings.push_back(
                {std::string(settings[i].label),
                 StoredSettingText(settings[i].id, profile.panel->stored[i], profile.modelCode)});
        }
        for (std::size_t i = 0; i < kSwitches.size(); ++i) {
            report.switches.push_back(
                {std::string(kSwitches[i].text), profile.panel->switches[i] ? "on" : "off"});
        }
    }
    if (profile.throttle) {
        report.sensorType = SensorTypeText(profile.throttle->sensorCode);
        report.curveName = CurveDisplayName(profile.throttle->table);
        report.curve = profile.throttle->table;
    }
    if (context.history != nullptr)
        report.changesToday = ChangesOfDay(*context.history, profile, context.madeAt.substr(0, 10));
    report.errorLog = errorLog;
    report.monitor = context.monitor;
    return report;
}

std::vector<ReportChange> ChangesOfDay(const ServiceHistory& history, const ControllerProfile& now,
                                       const std::string& day)
{
    std::vector<ReportChange> changes;
    if (day.empty())
        return changes;
    // Newest first: each entry's "after" is the one kept just after it.
    std::optional<ControllerProfile> after = now;
    for (const ServiceHistory::Entry& entry : history.Entries(now.serialNumber)) {
        const std::string entryDay = entry.taken.substr(0, day.size());
        if (entryDay < day)
            break;
        const ProfileRead read = ReadProfile(entry.path.string());
        if (entryDay == day) {
            ReportChange change;
            change.time = entry.taken.substr(day.size() + 1);
            change.occasion = entry.keptBefore;
            if (read.profile && after)
                change.lines = ChangeLines(*read.profile, *after);
            changes.insert(changes.begin(), std::move(change));
        }
        after = read.profile;
    }
    return changes;
}

std::optional<MonitorSummary> SummariseReadings(const std::vector<monitor::PlotSample>& samples)
{
    if (samples.empty())
        return std::nullopt;
    MonitorSummary summary;
    summary.cycles = samples.size();
    for (const monitor::GaugeInfo& info : monitor::Gauges()) {
        if (info.gauge == monitor::Gauge::ErrorFlags)
            continue;
        const auto index = static_cast<std::size_t>(info.gauge);
        double minimum = std::numeric_limits<double>::infinity();
        double maximum = -minimum;
        double sum = 0;
        std::size_t count = 0;
        for (const monitor::PlotSample& sample : samples) {
            const double value = sample.values[index];
            if (std::isnan(value))
                continue;
            minimum = std::min(minimum, value);
            maximum = std::max(maximum, value);
            sum += value;
            ++count;
        }
        if (count == 0)
            continue;
        summary.gauges.push_back({info.label, info.unit, monitor::Format(info.gauge, minimum),
                                  monitor::Format(info.gauge, maximum),
                                  monitor::Format(info.gauge, sum / static_cast<double>(count))});
    }
    return summary;
}

std::string ReportTimeNow()
{
    std::string time = ProfileTimeNow();
    time[10] = ' ';
    return time;
}

ReportReading ReadForReport(CController& link, ControlPanel& panel, ThrottleResponse& response,
                            std::optional<ThrottleReadOf>& throttleOf, RunProgress& progress,
                            const ReportReadHooks& hooks)
{
    using Outcome = ReportReading::Outcome;
    ReportReading reading;
    if (!link.LocateController()) {
        reading.outcome = Outcome::NotLocated;
        return reading;
    }
    std::optional<FreshIdentity> fresh;
    try {
        fresh = ReadIdentity(link);
    } catch (const CControllerException&) {
    }
    if (!fresh)
        return reading;

    if (!PanelIsOf(panel, *fresh)) {
        if (hooks.refreshPanel)
            hooks.refreshPanel();
        else
            panel.Refresh(link);
        // A controller swapped again meanwhile is no better than none.
        if (!PanelIsOf(panel, *fresh)) {
            reading.outcome = Outcome::PageIncomplete;
            return reading;
        }
    }
    if (!ThrottleIsOf(response, throttleOf, fresh->serialNumber)) {
        throttleOf.reset();
        if (hooks.refreshThrottle)
            hooks.refreshThrottle();
        else
            response.Refresh(link, progress);
        if (!ThrottleComplete(response)) {
            reading.outcome = Outcome::PageIncomplete;
            return reading;
        }
        throttleOf =
            ThrottleReadOf{fresh->serialNumber, {response.SensorCode(), response.Written()->table}};
    }

    const ErrorLogLine log = ReadErrorLogLine(link);
    if (log.status != ErrorLogResult::Status::Written &&
        log.status != ErrorLogResult::Status::EmptyLog)
        return reading;
    reading.errorLog = SplitEntries(log.line);

    reading.profile = *CaptureProfile(panel, response);
    reading.outcome = Outcome::Done;
    return reading;
}

} // namespace kestrum
