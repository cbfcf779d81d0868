#pragma once

#include "profiles/controller_profile.h"
#include "tools/run_progress.h"

#include <string>
#include <vector>

namespace kestrum {

class CController;
class ControlPanel;
class ThrottleResponse;

// Why a difference will not be written.
enum class LoadRefusal
{
    None, // it will be written
    OutsideModelRange,
    VoltagesWouldCross, // Under Voltage would end above Over Voltage
    NoPlugBraking,
    UnknownSensorType,
    SensorTypeNotUsable,
    NotReadFromController, // the controller's own part was not read
};

// "outside this model's range", ...; empty for None.
const char* LoadRefusalText(LoadRefusal refusal);

// One setting, switch, the table or the sensor type that a profile holds
// otherwise than the controller.
struct ProfileDifference
{
    std::string text; // "Under Voltage: 21.0 -> 24.0 Volts"
    LoadRefusal refusal = LoadRefusal::None;
};

struct LoadStep
{
    enum class Kind
    {
        Setting,
        Switches,
        Table,
        SensorType,
    };
    Kind kind = Kind::Setting;
    SettingId setting{};     // for a Setting
    std::uint16_t value = 0; // the stored value, the switch byte or the sensor code
    std::string name;        // as reports name it: "Under Voltage", "Switches" ...
};

// What loading a profile onto a controller would change, and the writes that
// do it, in the order the pages' Set commands write: the settings, the
// switch byte, the throttle table, the sensor type.
struct LoadPlan
{
    std::vector<ProfileDifference> differences;
    std::vector<LoadStep> steps;
    ThrottleTable table{}; // what a Table step writes
    bool otherModel = false;
    std::string profileModel;
    std::string controllerModel;
};

// `controller` is what the controller holds (as captured from the pages);
// a part it lacks is not compared and not written.
LoadPlan PlanLoad(const ControllerProfile& controller, const ControllerProfile& profile);

// "text", or "text (not written: why)".
std::vector<std::string> DifferenceLines(const LoadPlan& plan);

struct LoadReport
{
    enum class Outcome
    {
        Done,
        NotLocated,    // no controller: nothing was written
        NotResponding, // the controller stopped answering: `written` says how far it got
        PartlyWritten, // the table write was cancelled or failed part-way
    };
    Outcome outcome = Outcome::Done;
    std::vector<std::string> written; // step names, in order
    // Sent, but the read-back that would confirm it went unanswered: it may
    // well have landed. Never reported as "not written".
    std::vector<std::string> notVerified;
    // Two-byte settings among notVerified: cut between their bytes, they may
    // hold one byte of the old value and one of the new.
    std::vector<std::string> possiblyMixed;
    std::vector<std::string> notWritten; // the planned steps that were not sent
};

// The result line of a load that ended as `outcome`: "Profile loaded and
// verified", "Profile only partly loaded" or the table's "only partly
// written"; empty for NotLocated, which the link has told of itself.
const char* LoadOutcomeText(LoadReport::Outcome outcome);

// What the user is told before a load: the controller holds the profile
// already; nothing of it can be written (each front end ends that sentence
// its own way); or it was taken from another model ("This profile was taken
// from a ...").
inline constexpr const char* kProfileAlreadyHeldText = "The controller already holds this profile.";
inline constexpr const char* kNothingWritableText = "Nothing of this profile can be written";
std::string OtherModelText(const std::string& profileModel, const std::string& controllerModel);
// "PATH cannot be used as a controller profile." (the reason follows).
std::string UnusableProfileText(const std::string& path);

// What a load that stopped part-way did, for the user: "Written and
// verified: ...", the steps not verified, "Not written: ...", and how to make
// a possibly mixed setting whole. Empty for a load that finished.
std::string LoadReportText(const LoadReport& report);

// Makes the plan's writes with the links' verified writes. The pages'
// models follow every write that was confirmed, so that they show what the
// controller now holds; changes the user had not set are dropped first.
LoadReport LoadProfile(CController& link, const LoadPlan& plan, ControlPanel& panel,
                       ThrottleResponse& response, RunProgress& progress);

enum class ReadOutcome
{
    Done,
    NotLocated,
    NotResponding,
};

// Reads what the models have not read yet: the Control Panel's part, then
// the Throttle Response page's with the table behind `progress`.
ReadOutcome ReadWholeController(CController& link, ControlPanel& panel, ThrottleResponse& response,
                                RunProgress& progress);

} // namespace kestrum
