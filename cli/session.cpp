#include "cli/session.h"

#include "cli/exit_status.h"
#include "cli/stored_timings.h"

#include <cstdio>

namespace kestrum::cli {

const std::string& Session::Word(std::size_t index) const
{
    static const std::string none;
    return index < options.words.size() ? options.words[index] : none;
}

bool Connect(Session& session)
{
    CController& link = session.link;
    LoadStoredTimings(link.Timings());
    if (session.options.tries)
        link.Timings().readWriteTries = *session.options.tries;
    if (session.options.retryDelay)
        link.Timings().retryDelay = *session.options.retryDelay;
    link.SetNotifier([](const std::string& message) { PrintError(message); });
    if (!session.options.port)
        return link.LocateController();
    // A port named on the command line is the only one tried: a script that
    // names the wrong port must hear so, not reach another controller.
    std::vector<CController::RefusedPort> refused;
    if (link.TryPorts({*session.options.port}, &refused))
        return true;
    PrintError(CannotLocateMessage(refused, true));
    return false;
}

void PrintError(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void PrintJson(const Json& json)
{
    std::printf("%s\n", json.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

int NotResponding()
{
    PrintError("Motor controller is not responding");
    return kNoController;
}

int UsageError(const std::string& text)
{
    PrintError("kestrum-cli: " + text + " (kestrum-cli --help lists the commands)");
    return kUsage;
}

} // namespace kestrum::cli
