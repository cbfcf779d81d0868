#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "profiles/profile_file.h"
#include "profiles/profile_load.h"
#include "profiles/service_history.h"
#include "settings/control_panel.h"
#include "throttle/throttle_response.h"
#include "tools/file_error.h"

#include <cstdio>

// profile save, diff and load: the window's profile commands.
namespace kestrum::cli {
namespace {

struct Controller
{
    ControlPanel panel;
    ThrottleResponse response;
    ControllerProfile profile;
};

std::optional<int> ReadController(Session& session, Controller& controller)
{
    if (!Connect(session))
        return kNoController;
    TerminalProgress progress("Reading throttle table");
    switch (ReadWholeController(session.link, controller.panel, controller.response, progress)) {
    case ReadOutcome::NotLocated:
        return kNoController;
    case ReadOutcome::NotResponding:
        return NotResponding();
    case ReadOutcome::Done:
        break;
    }
    const auto profile = CaptureProfile(controller.panel, controller.response);
    if (!profile || !profile->panel || !profile->throttle)
        return NotResponding();
    controller.profile = *profile;
    return std::nullopt;
}

std::optional<int> ReadFile(const std::string& path, ControllerProfile& profile)
{
    const ProfileRead read = ReadProfile(path);
    if (!read.profile) {
        PrintError(read.fileError ? read.error : UnusableProfileText(path) + "\n" + read.error);
        return kFileError;
    }
    profile = *read.profile;
    return std::nullopt;
}

void PrintLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
}

int Save(Session& session, const std::string& path)
{
    Controller controller;
    if (const auto failed = ReadController(session, controller))
        return *failed;
    if (const std::error_code error = SaveProfile(path, controller.profile)) {
        PrintError(FileErrorText(error, path));
        return kFileError;
    }
    return kSuccess;
}

int Diff(Session& session, const LoadPlan& plan)
{
    const std::vector<std::string> lines = DifferenceLines(plan);
    if (session.options.json) {
        Json differences = Json::array();
        for (const ProfileDifference& difference : plan.differences) {
            differences.push_back(
                {{"change", difference.text},
                 {"notWritten", difference.refusal == LoadRefusal::None
                                    ? Json(nullptr)
                                    : Json(LoadRefusalText(difference.refusal))}});
        }
        PrintJson({{"otherModel", plan.otherModel}, {"differences", differences}});
    } else if (lines.empty()) {
        // Silence would leave a technician wondering whether the file was read.
        std::printf("%s\n", kProfileAlreadyHeldText);
    } else {
        PrintLines(lines);
    }
    return kSuccess;
}

int Load(Session& session, const ControllerProfile& wanted, Controller& controller,
         const LoadPlan& plan)
{
    if (plan.otherModel) {
        std::printf("%s\n", OtherModelText(wanted.modelName, plan.controllerModel).c_str());
    }
    PrintLines(DifferenceLines(plan));
    if (plan.steps.empty()) {
        if (plan.differences.empty())
            std::printf("%s\n", kProfileAlreadyHeldText);
        else
            std::printf("%s.\n", kNothingWritableText);
        return kSuccess;
    }
    if (!session.options.yes) {
        std::printf("Nothing was written; add --yes to write this.\n");
        return kSuccess;
    }
    // The same history the window keeps before it changes a controller.
    const ServiceHistory history(DefaultHistoryFolder());
    ControllerProfile before = controller.profile;
    before.keptBefore = "Profile load"; // the occasion's name, as the window names it
    if (const std::error_code error = history.Keep(before))
        PrintError(std::string(kHistoryNotKeptText) + ": " +
                   FileErrorText(error, history.Root().string()));

    TerminalProgress::InstallInterruptHandler();
    TerminalProgress progress("Writing throttle table");
    const LoadReport report =
        LoadProfile(session.link, plan, controller.panel, controller.response, progress);
    switch (report.outcome) {
    case LoadReport::Outcome::Done:
        std::printf("%s\n", LoadOutcomeText(report.outcome));
        return kSuccess;
    case LoadReport::Outcome::NotLocated:
        return kNoController;
    case LoadReport::Outcome::NotResponding:
        PrintError(NotRespondingText());
        break;
    case LoadReport::Outcome::PartlyWritten:
        PrintError(TablePartlyWrittenText({}));
        break;
    }
    PrintError(LoadReportText(report));
    return kFailed;
}

} // namespace

int RunProfile(Session& session)
{
    const std::string& action = session.Word(1);
    if (session.WordCount() != 3 || (action != "save" && action != "diff" && action != "load"))
        return UsageError("profile takes save, diff or load and a FILE");
    if (session.options.yes && action != "load")
        return UsageError("--yes belongs to profile load");
    const std::string& path = session.Word(2);
    if (const auto refused = RefuseUnusableFile(path))
        return *refused;
    if (action == "save")
        return Save(session, path);
    // The file first: a profile that cannot be used costs no traffic.
    ControllerProfile wanted;
    if (const auto failed = ReadFile(path, wanted))
        return *failed;
    Controller controller;
    if (const auto failed = ReadController(session, controller))
        return *failed;
    const LoadPlan plan = PlanLoad(controller.profile, wanted);
    if (action == "diff")
        return Diff(session, plan);
    return Load(session, wanted, controller, plan);
}

} // namespace kestrum::cli
