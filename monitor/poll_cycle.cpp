#include "monitor/poll_cycle.h"

#include "link/controller.h"

namespace kestrum::monitor {
namespace {

// One gauge read at its RAM address, as its displayed value.
double ReadGauge(CController& controller, Gauge gauge)
{
    std::uint8_t bytes[3] = {};
    // A RAM read raises when unanswered; a false return (no port) is no
    // answer either, never a silent zero.
    if (!controller.ReadRam(Info(gauge).ramAddress, bytes))
        throw CControllerException();
    return Convert(gauge, RawValue(gauge, bytes));
}

} // namespace

CycleResult RunCycle(CController& controller, const GaugeChecks& checked)
{
    CycleResult result;
    RunCycle(controller, checked, result);
    return result;
}

void RunCycle(CController& controller, const GaugeChecks& checked, CycleResult& result)
{
    auto checkedGauge = [&](Gauge g) { return checked[static_cast<std::size_t>(g)]; };
    auto put = [&](Gauge g, const std::string& text, bool show) {
        const auto i = static_cast<std::size_t>(g);
        result.row[i] = text;
        if (show)
            result.shown[i] = text;
    };

    for (Gauge g : {Gauge::Temperature, Gauge::Voltage, Gauge::ErrorFlags}) {
        if (checkedGauge(g))
            put(g, Format(g, ReadGauge(controller, g)), true);
    }
    const bool battery = checkedGauge(Gauge::BatteryCurrent);
    double throttle = 0;
    if (checkedGauge(Gauge::Throttle) || battery) {
        throttle = ReadGauge(controller, Gauge::Throttle);
        put(Gauge::Throttle, Format(Gauge::Throttle, throttle), checkedGauge(Gauge::Throttle));
    }
    double output = 0;
    if (checkedGauge(Gauge::OutputCurrent) || battery) {
        output = ReadGauge(controller, Gauge::OutputCurrent);
        put(Gauge::OutputCurrent, Format(Gauge::OutputCurrent, output),
            checkedGauge(Gauge::OutputCurrent));
    }
    if (battery)
        put(Gauge::BatteryCurrent, Format(Gauge::BatteryCurrent, BatteryCurrent(output, throttle)),
            true);
}

std::chrono::steady_clock::time_point NextStart(std::chrono::steady_clock::time_point start,
                                                std::chrono::milliseconds interval,
                                                std::chrono::steady_clock::time_point now)
{
    if (interval.count() <= 0)
        return now;
    const auto planned = start + interval;
    return planned > now ? planned : now;
}

} // namespace kestrum::monitor
