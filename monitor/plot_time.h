#pragma once

#include <vector>

// The plot's time axis counts seconds of the local wall clock as if it were
// UTC ("civil seconds"): a recorded log carries local times without a zone,
// and live cycles are stamped the same way, so both read alike on the axis
// whatever the machine's zone.
namespace kestrum::monitor {

double CivilSeconds(int year, int month, int day, int hour, int minute, int second,
                    int millisecond);

// The local wall clock now, in civil seconds.
double CivilNow();

// Round-valued tick positions within [from, to], at most `maxTicks` of them,
// spaced by one of the steps a clock reader expects (1, 2, 5, 10, 15, 30 s,
// 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6, 12 h, days).
std::vector<double> TimeTicks(double from, double to, int maxTicks);

} // namespace kestrum::monitor
