#include "cli/options.h"

#include "link/comm_timings.h"

#include <charconv>
#include <utility>

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

const std::vector<std::pair<std::string, std::string>>& CommandUsage()
{
    // In the order a technician meets them.
    static const std::vector<std::pair<std::string, std::string>> usage{
        {"identify", "identify\n    The controller's model, family, serial number, field map and "
                     "port.\n"},
        {"settings", "settings\n    The seven settings and four switches as the Control Panel "
                     "shows them.\n"},
        {"profile",
         "profile save FILE\n    Saves the controller's whole setup to FILE.\n"
         "profile diff FILE\n    Lists what loading FILE would change.\n"
         "profile load FILE [--yes]\n    Lists what would change and, with --yes, writes it "
         "(verified).\n    Without --yes nothing is written. A profile of another model is\n"
         "    written only with --yes, and values outside this model's ranges never.\n"},
        {"throttle",
         "throttle\n    The throttle sensor type and response curve.\n"
         "throttle set CURVE [--sensor NAME]\n    Writes the curve (Linear, S-Curve, Progressive, "
         "Inductive) and\n    the sensor type (as the Throttle Response page names it, or "
         "\"none\";\n    without --sensor the controller's stays).\n"},
        {"errors", "errors FILE\n    Saves the controller's error log to FILE, as Write Error "
                   "Log... does.\n"},
        {"upgrade", "upgrade FILE\n    Loads new firmware from an Intel HEX file through the "
                    "bootloader.\n    Ctrl+C cancels: the controller stays in its bootloader and "
                    "the\n    next upgrade completes it.\n"},
        {"monitor",
         "monitor [--interval MS] [--count N] [--gauges LIST]\n    Live readings as "
         "rows of the Monitor log, header first. MS is the\n    time from one cycle's "
         "start to the next (default 1000, 0: continuous);\n    N ends after N rows "
         "(default: until Ctrl+C); LIST names the gauges,\n    comma-separated, of "
         "throttle, temperature, voltage, output, battery,\n    flags (default: all).\n"},
        {"memory", "memory read flash|eeprom|ram ADDR\nmemory write flash|eeprom|ram ADDR VALUE\n"
                   "    One FLASH word, EEPROM byte or RAM cell, as the memory viewer reads\n"
                   "    and writes them. Numbers are decimal or hexadecimal (0x1F, x1f).\n"},
        {"reset", "reset\n    Resets the controller.\n"},
    };
    return usage;
}

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
            if (argument == "--tries") {
                if (!IsAcceptableTries(static_cast<std::int64_t>(*number)))
                    fail("--tries takes 0 to 99");
                else
                    options.tries = static_cast<std::int32_t>(*number);
            } else if (argument == "--count") {
                options.count = *number;
            } else if (!IsAcceptableDelay(static_cast<std::int64_t>(*number))) {
                fail(argument + " takes 0 to 10000 ms");
            } else {
                (argument == "--retry-delay" ? options.retryDelay : options.interval) =
                    static_cast<std::uint32_t>(*number);
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            fail("unknown option " + argument);
        } else {
            options.words.push_back(argument);
        }
    }
    return parsed;
}

std::string UsageText(const std::string& command)
{
    const auto& usage = CommandUsage();
    for (const auto& [name, lines] : usage) {
        if (name == command)
            return "Usage: kestrum-cli [options] " + lines;
    }
    std::string text =
        "Usage: kestrum-cli [--port PATH] [--tries N] [--retry-delay MS] [--json] COMMAND ...\n"
        "\nService operations on a motor controller, from the command line.\n\nCommands:\n";
    for (const auto& [name, lines] : usage) {
        for (std::size_t start = 0; start < lines.size();) {
            const std::size_t end = lines.find('\n', start);
            const std::string line = lines.substr(start, end - start);
            if (!line.starts_with("    "))
                text += "  " + line + "\n";
            start = end + 1;
        }
    }
    text += "\nOptions:\n"
            "  --port PATH        the controller's port; without it the ports are searched\n"
            "                     (KESTRUM_PORTS, when set, names the ports to search)\n"
            "  --tries N          sends per transaction (default: the stored timings)\n"
            "  --retry-delay MS   wait for each answer (default: the stored timings)\n"
            "  --json             one JSON object instead of text (reading commands)\n"
            "  -h, --help         this text; COMMAND --help for one command\n"
            "\nExit status: 0 success, 1 no controller found or not responding, 2 usage or a\n"
            "rejected value, 3 a file that cannot be read or written, 4 the upgrade or a\n"
            "load failed.\n";
    return text;
}

} // namespace kestrum::cli
