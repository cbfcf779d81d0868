#include "cli/options.h"

#include "link/comm_timings.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>

namespace kestrum::cli {
namespace {

std::optional<std::uint64_t> Number(const std::string& text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// One command's usage: the command words it is called by, its usage line
// and what it does (indented).
struct CommandUsage
{
    const char* name;
    const char* line;
    const char* description;
};

// In the order a technician meets them.
constexpr CommandUsage kCommandUsage[] = {
    {"identify", "identify",
     "    The controller's model, family, serial number, field map and port.\n"},
    {"settings", "settings",
     "    The seven settings and four switches as the Control Panel shows them.\n"},
    {"profile save", "profile save FILE", "    Saves the controller's whole setup to FILE.\n"},
    {"profile diff", "profile diff FILE", "    Lists what loading FILE would change.\n"},
    {"profile load", "profile load FILE [--yes]",
     "    Lists what would change and, with --yes, writes it (verified).\n"
     "    Without --yes nothing is written. A profile of another model is\n"
     "    written only with --yes, and values outside this model's ranges never.\n"},
    {"throttle", "throttle", "    The throttle sensor type and response curve.\n"},
    {"throttle set", "throttle set CURVE [--sensor NAME]",
     "    Writes the curve (Linear, S-Curve, Progressive, Inductive) and\n"
     "    the sensor type (as the Throttle Response page names it, or \"none\";\n"
     "    without --sensor the controller's stays).\n"},
    {"errors", "errors FILE",
     "    Saves the controller's error log to FILE, as Write Error Log... does.\n"},
    {"upgrade", "upgrade FILE",
     "    Loads new firmware from an Intel HEX file through the bootloader.\n"
     "    Ctrl+C cancels: the controller stays in its bootloader and the\n"
     "    next upgrade completes it.\n"},
    {"monitor", "monitor [--interval MS] [--count N] [--gauges LIST]",
     "    Live readings as rows of the Monitor log, header first. MS is the\n"
     "    time from one cycle's start to the next (default 1000, 0: continuous);\n"
     "    N ends after N rows (default: until Ctrl+C); LIST names the gauges,\n"
     "    comma-separated, of throttle, temperature, voltage, output, battery,\n"
     "    flags (default: all).\n"},
    {"memory read", "memory read flash|eeprom|ram ADDR",
     "    One FLASH word, EEPROM byte or RAM cell (three bytes), as the memory\n"
     "    viewer reads them. Numbers are decimal or hexadecimal (0x1F, x1f).\n"
     "    FLASH word addresses go up to 0x7FFF.\n"},
    {"memory write", "memory write flash|eeprom|ram ADDR VALUE",
     "    Writes one FLASH word, EEPROM byte or RAM byte, verified, as the\n"
     "    memory viewer writes them. Numbers are decimal or hexadecimal (0x1F,\n"
     "    x1f). FLASH word addresses go up to 0x7FFF and FLASH words hold 14\n"
     "    bits (up to 0x3FFF); anything beyond is refused and nothing is sent.\n"},
    {"report", "report FILE",
     "    Writes the service report (PDF) of the controller to FILE: identity,\n"
     "    settings, throttle curve, today's changes from the service history\n"
     "    and the error log, as Service Report... makes it.\n"},
    {"reset", "reset", "    Resets the controller.\n"},
};

} // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions parsed;
    Options& options = parsed.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        const auto fail = [&](const std::string& text) {
            if (parsed.error.empty())
                parsed.error = text;
        };
        if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--yes") {
            options.yes = true;
        } else if (argument == "--port" || argument == "--sensor" || argument == "--gauges") {
            const auto text = value();
            if (!text || text->empty()) {
                fail(argument + " needs a value");
                continue;
            }
            (argument == "--port"     ? options.port
             : argument == "--sensor" ? options.sensor
                                      : options.gauges) = *text;
        } else if (argument == "--tries" || argument == "--retry-delay" ||
                   argument == "--interval" || argument == "--count") {
            const auto text = value();
            const auto number = text ? Number(*text) : std::nullopt;
            if (!number) {
                fail(argument + " needs a number");
                continue;
            }
            if (argument == "--count") {
                options.count = *number;
            } else if (argument == "--interval") {
                // A poll interval is bounded as a delay is.
                if (*number > kMaxDelayMs)
                    fail(argument + " takes 0 to " + std::to_string(kMaxDelayMs) + " ms");
                else
                    options.interval = static_cast<std::uint32_t>(*number);
            } else {
                // The same ranges as the Timings dialog: a script cannot ask
                // the link for what the window would refuse.
                const bool tries = argument == "--tries";
                const TimingRange& range =
                    RangeOf(tries ? Timing::ReadWriteTries : Timing::RetryDelay);
                if (*number > static_cast<std::uint64_t>(range.high) ||
                    !range.Accepts(static_cast<std::int64_t>(*number)))
                    fail(argument + " takes " + std::to_string(range.low) + " to " +
                         std::to_string(range.high) + (tries ? "" : " ms"));
                else if (tries)
                    options.tries = static_cast<std::int32_t>(*number);
                else
                    options.retryDelay = static_cast<std::uint32_t>(*number);
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            fail("unknown option " + argument);
        } else {
            options.words.push_back(argument);
        }
    }
    return parsed;
}

std::string UsageText(const std::vector<std::string>& words)
{
    const std::string command = words.empty() ? std::string() : words[0];
    const std::string sub = words.size() > 1 ? command + " " + words[1] : std::string();
    // "profile diff --help" is about profile diff alone; "profile --help"
    // about every profile command.
    const bool subKnown =
        std::any_of(std::begin(kCommandUsage), std::end(kCommandUsage),
                    [&sub](const CommandUsage& usage) { return usage.name == sub; });
    std::string text;
    for (const CommandUsage& usage : kCommandUsage) {
        const std::string name = usage.name;
        const bool chosen =
            subKnown ? name == sub : name == command || name.starts_with(command + " ");
        if (!command.empty() && chosen)
            text += "Usage: kestrum-cli [options] " + std::string(usage.line) + "\n" +
                    usage.description;
    }
    if (!text.empty())
        return text;
    text = "Usage: kestrum-cli [--port PATH] [--tries N] [--retry-delay MS] [--json] COMMAND ...\n"
           "       kestrum-cli --version\n"
           "\nService operations on a motor controller, from the command line.\n\nCommands:\n";
    for (const CommandUsage& usage : kCommandUsage)
        text += "  " + std::string(usage.line) + "\n";
    text += "\nOptions:\n"
            "  --port PATH        the controller's port; without it the ports are searched\n"
            "                     (KESTRUM_PORTS, when set, names the ports to search)\n"
            "  --tries N          sends per transaction (default: the stored timings)\n"
            "  --retry-delay MS   wait for each answer (default: the stored timings)\n"
            "  --json             one JSON object instead of text (reading commands)\n"
            "  -h, --help         this text; COMMAND --help for one command\n"
            "  --version          the program's version\n"
            "\nExit status: 0 success, 1 no controller found or not responding, 2 usage or a\n"
            "rejected value, 3 a file that cannot be read or written, 4 the upgrade or a\n"
            "load failed.\n";
    return text;
}

} // namespace kestrum::cli
