#include "cli/exit_status.h"
#include "cli/session.h"
#include "cli/text.h"
#include "monitor/gauges.h"
#include "monitor/poll_cycle.h"
#include "tools/log_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <thread>

// monitor: the Monitor page's polling, its rows on standard output in the
// format of the Monitor log.
namespace kestrum::cli {
namespace {

using monitor::Gauge;

// Short names and the log header's names both name a gauge.
std::optional<Gauge> GaugeNamed(const std::string& name)
{
    static const std::pair<const char*, Gauge> kNames[] = {
        {"throttle", Gauge::Throttle},       {"throttlepos", Gauge::Throttle},
        {"temperature", Gauge::Temperature}, {"diodetemp", Gauge::Temperature},
        {"voltage", Gauge::Voltage},         {"batteryvoltage", Gauge::Voltage},
        {"output", Gauge::OutputCurrent},    {"outputcurrent", Gauge::OutputCurrent},
        {"battery", Gauge::BatteryCurrent},  {"batterycurrent", Gauge::BatteryCurrent},
        {"flags", Gauge::ErrorFlags},        {"errorflags", Gauge::ErrorFlags},
    };
    for (const auto& [text, gauge] : kNames) {
        if (Lower(name) == text)
            return gauge;
    }
    return std::nullopt;
}

} // namespace

int RunMonitor(Session& session)
{
    if (session.WordCount() != 1)
        return UsageError("monitor takes no argument but its options");
    monitor::GaugeChecks checked{};
    if (session.options.gauges) {
        std::istringstream names(*session.options.gauges);
        for (std::string name; std::getline(names, name, ',');) {
            const auto gauge = GaugeNamed(name);
            if (!gauge)
                return UsageError("unknown gauge \"" + name +
                                  "\"; the gauges are throttle, temperature, voltage, output, "
                                  "battery and flags");
            checked[static_cast<std::size_t>(*gauge)] = true;
        }
    } else {
        checked.fill(true);
    }
    if (!Connect(session))
        return kNoController;

    const std::chrono::milliseconds interval(session.options.interval.value_or(1000));
    std::printf("%s\n", monitor::kCsvHeader);
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    for (std::uint64_t row = 0; !session.options.count || row < *session.options.count; ++row) {
        if (row > 0) {
            start = monitor::NextStart(start, interval, std::chrono::steady_clock::now());
            std::this_thread::sleep_until(start);
        }
        monitor::CycleResult cycle;
        try {
            cycle = monitor::RunCycle(session.link, checked);
        } catch (const CControllerException&) {
            return NotResponding();
        }
        const std::string line = LogTimePrefix(CurrentLocalTime()) + monitor::RowText(cycle.row);
        std::printf("%s\n", line.c_str());
        // Each row reaches a pipe at once, as each reaches the log file.
        if (std::fflush(stdout) != 0)
            return kFileError;
    }
    return kSuccess;
}

} // namespace kestrum::cli
