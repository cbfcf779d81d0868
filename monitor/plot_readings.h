#pragma once

#include "monitor/plot_history.h"
#include "monitor/plot_viewport.h"

#include <optional>
#include <vector>

// Where the readings lie relative to a stretch of time, for zooming so that
// the charts never end up empty. `samples` are in time order, as kept.
namespace kestrum::monitor {

bool AnyReadingWithin(const std::vector<PlotSample>& samples, TimeRange range);

// The time of the newest reading within `range`, if there is one.
std::optional<double> NewestReadingWithin(const std::vector<PlotSample>& samples, TimeRange range);

// The time of the reading nearest to `time`; `samples` must not be empty.
double NearestReading(const std::vector<PlotSample>& samples, double time);

// `range` as it is when it holds a reading; otherwise moved, its width kept,
// until the reading nearest its middle lies at the edge it was beyond.
TimeRange WithNearestReading(const std::vector<PlotSample>& samples, TimeRange range);

} // namespace kestrum::monitor
