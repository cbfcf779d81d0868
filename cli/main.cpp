// kestrum-cli: the service tool's operations from the command line, for
// production lines and scripts. Every operation is the core procedure the
// window runs; only the way it is shown differs.
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/session.h"
#include "profiles/controller_profile.h"

#include <cstdio>
#include <map>

int main(int argc, char** argv)
{
    using namespace kestrum::cli;
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty())
        return UsageError(parsed.error);
    Session session;
    session.options = parsed.options;
    const std::string command = session.Word(0);
    if (session.options.version && !session.options.help) {
        std::printf("kestrum-cli %s\n", kestrum::ToolVersion().c_str());
        return kSuccess;
    }
    if (session.options.help || command.empty()) {
        std::fputs(UsageText(session.options.words).c_str(),
                   session.options.help ? stdout : stderr);
        return session.options.help ? kSuccess : kUsage;
    }
    static const std::map<std::string, int (*)(Session&)> kCommands{
        {"identify", RunIdentify}, {"settings", RunSettings}, {"profile", RunProfile},
        {"throttle", RunThrottle}, {"errors", RunErrors},     {"upgrade", RunUpgrade},
        {"monitor", RunMonitor},   {"memory", RunMemory},     {"reset", RunReset},
        {"report", RunReport},
    };
    const auto found = kCommands.find(command);
    if (found == kCommands.end())
        return UsageError("unknown command \"" + command + "\"");
    if ((command == "identify" || command == "settings" || command == "reset") &&
        session.WordCount() != 1)
        return UsageError(command + " takes no argument");
    return found->second(session);
}
