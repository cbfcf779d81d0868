#include "cli/session.h"

#include "cli/exit_status.h"
#include "cli/stored_timings.h"
#include "tools/file_error.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

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
    const std::string& port = *session.options.port;
    std::vector<CController::RefusedPort> refused;
    if (link.TryPorts({port}, &refused))
        return true;
    std::string message = CannotLocateMessage(refused, true);
    // A refused port is named by the message already; otherwise say which
    // port was tried, so that a script's log shows the wrong one.
    if (refused.empty()) {
        std::error_code error;
        message +=
            std::filesystem::exists(port, error)
                ? "\n\nNo controller answered on " + port + "."
                : "\n\n" + FileErrorText(std::make_error_code(std::errc::no_such_file_or_directory),
                                         port);
    }
    PrintError(message);
    return false;
}

std::optional<int> RefuseUnusableFile(const std::string& path)
{
    std::error_code error;
    if (path.empty())
        error = std::make_error_code(std::errc::invalid_argument);
    else if (std::filesystem::is_directory(path, error))
        error = std::make_error_code(std::errc::is_a_directory);
    else
        return std::nullopt;
    PrintError(FileErrorText(error, path.empty() ? "\"\"" : path));
    return kFileError;
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
    PrintError(NotRespondingText());
    return kNoController;
}

int UsageError(const std::string& text)
{
    PrintError("kestrum-cli: " + text + " (kestrum-cli --help lists the commands)");
    return kUsage;
}

} // namespace kestrum::cli
