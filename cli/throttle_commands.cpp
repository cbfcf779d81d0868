#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "cli/text.h"
#include "profiles/controller_profile.h"
#include "throttle/sensor_types.h"
#include "throttle/throttle_curves.h"
#include "throttle/throttle_response.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

// throttle and throttle set: the Throttle Response page's Refresh and Set.
namespace kestrum::cli {
namespace {

// The standard curve a name means ("s-curve", "SCurve" ...), or none.
ThrottleCurve* FindCurve(const std::string& name)
{
    const auto curves = AllCurves();
    for (std::size_t i = 0; i < kFixedCurveCount; ++i) {
        const std::string label = Lower(StandardCurveName(curves[i]->table));
        const std::string internal = Lower(std::string(curves[i]->name));
        if (Lower(name) == label || Lower(name) == internal)
            return curves[i];
    }
    return nullptr;
}

std::optional<int> ReadThrottle(Session& session, ThrottleResponse& response)
{
    if (!Connect(session))
        return kNoController;
    TerminalProgress progress("Reading throttle table");
    switch (response.Refresh(session.link, progress)) {
    case ThrottleResponse::Outcome::NotLocated:
        return kNoController;
    case ThrottleResponse::Outcome::NotResponding:
        return NotResponding();
    default:
        break;
    }
    if (!ThrottleComplete(response))
        return NotResponding();
    return std::nullopt;
}

int Show(Session& session, const ThrottleResponse& response)
{
    const auto sensor = SensorIndex(response.SensorCode());
    const std::string sensorText = sensor ? std::string(kSensorTypes[*sensor].label) : "none";
    const std::string curve = CurveDisplayName(response.Written()->table);
    if (session.options.json) {
        PrintJson({{"sensorType", sensor ? Json(sensorText) : Json(nullptr)},
                   {"sensorCode", response.SensorCode()},
                   {"curve", curve}});
    } else {
        std::printf("Sensor Type: %s\nCurve: %s\n", sensorText.c_str(), curve.c_str());
    }
    return kSuccess;
}

int Set(Session& session)
{
    if (session.WordCount() != 3)
        return UsageError("throttle set takes one CURVE");
    ThrottleCurve* curve = FindCurve(session.Word(2));
    if (curve == nullptr)
        return UsageError("CURVE is Linear, S-Curve, Progressive or Inductive");
    std::optional<std::size_t> sensor;
    bool noSensor = false;
    if (session.options.sensor) {
        noSensor = Lower(*session.options.sensor) == "none";
        for (std::size_t i = 0; i < kSensorTypes.size() && !noSensor; ++i) {
            if (Lower(std::string(kSensorTypes[i].label)) == Lower(*session.options.sensor))
                sensor = i;
        }
        if (!sensor && !noSensor)
            return UsageError("unknown sensor type \"" + *session.options.sensor + "\"");
    }

    ThrottleResponse response;
    if (const auto failed = ReadThrottle(session, response))
        return *failed;
    if (sensor &&
        !SensorEnabled(kSensorTypes[*sensor], response.Options(), response.RestrictedModel())) {
        PrintError("This controller cannot use the sensor type \"" +
                   std::string(kSensorTypes[*sensor].label) + "\"; nothing was written.");
        return kUsage;
    }
    response.Select(curve);
    if (sensor || noSensor)
        response.CheckSensor(sensor);
    const bool writesTable = response.Selected() != response.Written();

    TerminalProgress::InstallInterruptHandler();
    TerminalProgress progress("Writing throttle table");
    switch (response.Set(session.link, progress)) {
    case ThrottleResponse::Outcome::Done:
        std::printf("%s\n", SetDoneText(writesTable));
        return kSuccess;
    case ThrottleResponse::Outcome::PartlyWritten:
        PrintError(TablePartlyWrittenText("Run the command again to write it."));
        return kFailed;
    case ThrottleResponse::Outcome::NotLocated:
        return kNoController;
    case ThrottleResponse::Outcome::NotResponding:
        break;
    }
    return NotResponding();
}

} // namespace

int RunThrottle(Session& session)
{
    if (session.Word(1) == "set")
        return Set(session);
    if (session.WordCount() != 1)
        return UsageError("throttle takes no argument but \"set\"");
    ThrottleResponse response;
    if (const auto failed = ReadThrottle(session, response))
        return *failed;
    return Show(session, response);
}

} // namespace kestrum::cli
