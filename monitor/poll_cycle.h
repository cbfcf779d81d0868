#pragma once

#include "monitor/gauges.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace kestrum {
class CController;
}

// One polling cycle of the Monitor page, without a window.
namespace kestrum::monitor {

using GaugeChecks = std::array<bool, kGaugeCount>; // indexed by Gauge

struct CycleResult
{
    // What the value controls show; empty for a gauge that was not checked.
    GaugeTexts shown;
    // The fields of the log row: as shown, plus the throttle position and
    // output current whenever they were read for the battery current.
    GaugeTexts row;
};

// Reads the checked gauges in the wire order temperature, voltage, error
// flags, throttle, output current; the throttle and output current are also
// read when only the battery current needs them. Raises CControllerException
// when the controller does not answer.
CycleResult RunCycle(CController& controller, const GaugeChecks& checked);
// The same, filling `result` as each gauge is read, so that when the
// controller stops answering part-way the readings before stay in it.
void RunCycle(CController& controller, const GaugeChecks& checked, CycleResult& result);

// When the cycle after one that started at `start` should start, timed start
// to start: `start` + `interval`, or `now` for a continuous interval (0) or a
// cycle that took the whole interval. Scheduling from the planned start, not
// from the moment the wait ended, keeps the wake-up latency from adding up.
std::chrono::steady_clock::time_point NextStart(std::chrono::steady_clock::time_point start,
                                                std::chrono::milliseconds interval,
                                                std::chrono::steady_clock::time_point now);

} // namespace kestrum::monitor
