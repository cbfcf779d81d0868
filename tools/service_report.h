#pragma once

#include "monitor/plot_history.h"
#include "profiles/controller_profile.h"
#include "tools/run_progress.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The service report of one controller: what it is, what it is set to, what
// was changed on it today, its error log and, when the Monitor watched it,
// a summary of the readings. The model holds finished texts (the pages',
// the history's and the export's own), so that every renderer shows the same.
namespace kestrum {

class CController;
class ControlPanel;
class ServiceHistory;
class ThrottleResponse;

struct ReportRow
{
    std::string label;
    std::string value;
};

// One change of the day, as the service history kept it.
struct ReportChange
{
    std::string time;               // "14:02:11", with " (2)" for a second one that second
    std::string occasion;           // "Set", "Profile load" ...; empty when it was not named
    std::vector<std::string> lines; // "Under Voltage: 21.0 -> 24.0 Volts"
};

struct GaugeSummary
{
    std::string label; // "Battery Voltage"
    std::string unit;  // "Volts"; empty when none
    std::string minimum;
    std::string maximum;
    std::string mean;
};

struct MonitorSummary
{
    std::size_t cycles = 0;
    std::vector<GaugeSummary> gauges; // the gauges that were polled, in the page's order
};

struct ServiceReport
{
    std::string model;
    std::string family;
    std::string serialNumber;
    std::string fieldMap;
    std::string madeAt; // local time, "YYYY-MM-DD hh:mm:ss"
    std::string toolVersion;
    std::string port;
    std::string technician; // empty when not given
    std::string workshop;
    std::vector<ReportRow> settings; // the Control Panel's order, values with units
    std::vector<ReportRow> switches; // "on" or "off"
    std::string sensorType;
    std::string curveName;
    ThrottleTable curve{};
    std::vector<ReportChange> changesToday; // oldest first
    // The export's entries, newest first; empty for an erased log.
    std::vector<std::string> errorLog;
    std::optional<MonitorSummary> monitor;
};

// What a report knows besides the controller's own values.
struct ReportContext
{
    std::string port;
    std::string technician;
    std::string workshop;
    std::string madeAt; // as ServiceReport::madeAt; its date picks today's changes
    const ServiceHistory* history = nullptr;
    std::optional<MonitorSummary> monitor;
};

// `profile` holds both pages' parts.
ServiceReport ComposeServiceReport(const ControllerProfile& profile,
                                   const std::vector<std::string>& errorLog,
                                   const ReportContext& context);

// The history's occasions of `day` ("YYYY-MM-DD") for the profile's serial
// number, oldest first. Each file holds what the controller held before its
// change, so a change is the difference to the next file, and for the
// newest one to `now`.
std::vector<ReportChange> ChangesOfDay(const ServiceHistory& history, const ControllerProfile& now,
                                       const std::string& day);

// Minimum, maximum and mean of each gauge that has readings; none without
// any. The error flags are a bit pattern, not a quantity: they are left out.
std::optional<MonitorSummary> SummariseReadings(const std::vector<monitor::PlotSample>& samples);

// The local time now, as ServiceReport::madeAt holds it.
std::string ReportTimeNow();

// A throttle read known to come from the controller with this serial number.
struct ThrottleReadOf
{
    std::string serialNumber;
    ThrottleProfile throttle;
};

// How a page's model is read again; unset: straight on the link. The window
// lets the pages read, so that they show what was read and say themselves
// when the controller does not answer.
struct ReportReadHooks
{
    std::function<void()> refreshPanel;
    std::function<void()> refreshThrottle;
};

struct ReportReading
{
    enum class Outcome
    {
        Done,
        NotLocated,     // no controller: the user was told by the link
        NotResponding,  // the identity or the error log went unanswered
        PageIncomplete, // a page's read did not complete (cancelled or unanswered)
    };
    Outcome outcome = Outcome::NotResponding;
    ControllerProfile profile;         // both parts, of the connected controller
    std::vector<std::string> errorLog; // newest first
};

// Reads what the report needs and the pages lack. The connected controller's
// serial number is read first; a page's read is used only when it is whole
// and of that serial number (the Throttle Response page's only when
// `throttleOf` vouches for it), otherwise the page reads again. The table
// read reports to `progress`. The error log is always read. `throttleOf`
// then names what was used.
ReportReading ReadForReport(CController& link, ControlPanel& panel, ThrottleResponse& response,
                            std::optional<ThrottleReadOf>& throttleOf, RunProgress& progress,
                            const ReportReadHooks& hooks = {});

} // namespace kestrum
