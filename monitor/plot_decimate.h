#pragma once

#include "monitor/plot_history.h"

#include <cstddef>
#include <vector>

// What of a history is drawn for a visible stretch of time: few enough points
// for a redraw to stay cheap over a day of samples, yet every peak kept.
namespace kestrum::monitor {

struct PlotPoint
{
    double time;
    double value;
};

// A line without gaps.
using PlotSegment = std::vector<PlotPoint>;

// The lines of `gauge` over [from, to], plus the sample on each side so that
// they run to the edges. A line breaks where a run starts and where the gauge
// was not read. Within each of `buckets` equal slices of the time, a line
// keeps only its lowest and highest point (in time order), so no line has
// more than two points per slice.
std::vector<PlotSegment> VisibleSegments(const std::vector<PlotSample>& samples, Gauge gauge,
                                         double from, double to, std::size_t buckets);

// The samples within [from, to] at which the error flags differ from their
// last reading in the same run (the first reading of a run counts as a change
// when it is not 0).
std::vector<PlotPoint> FlagChanges(const std::vector<PlotSample>& samples, double from, double to);

} // namespace kestrum::monitor
