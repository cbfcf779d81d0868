#include "monitor/plot_readings.h"

#include <algorithm>
#include <iterator>

namespace kestrum::monitor {

namespace {

bool ByTime(const PlotSample& sample, double time)
{
    return sample.time < time;
}

} // namespace

bool AnyReadingWithin(const std::vector<PlotSample>& samples, TimeRange range)
{
    const auto next = std::lower_bound(samples.begin(), samples.end(), range.from, ByTime);
    return next != samples.end() && next->time <= range.to;
}

std::optional<double> NewestReadingWithin(const std::vector<PlotSample>& samples, TimeRange range)
{
    const auto after = std::upper_bound(samples.begin(), samples.end(), range.to,
                                        [](double t, const PlotSample& s) { return t < s.time; });
    if (after == samples.begin() || std::prev(after)->time < range.from)
        return std::nullopt;
    return std::prev(after)->time;
}

double NearestReading(const std::vector<PlotSample>& samples, double time)
{
    const auto next = std::lower_bound(samples.begin(), samples.end(), time, ByTime);
    if (next == samples.end())
        return samples.back().time;
    if (next == samples.begin() || next->time - time < time - std::prev(next)->time)
        return next->time;
    return std::prev(next)->time;
}

TimeRange WithNearestReading(const std::vector<PlotSample>& samples, TimeRange range)
{
    if (samples.empty() || AnyReadingWithin(samples, range))
        return range;
    const double width = range.to - range.from;
    const double nearest = NearestReading(samples, (range.from + range.to) / 2);
    if (nearest > range.to)
        return {nearest - width, nearest};
    return {nearest, nearest + width};
}

} // namespace kestrum::monitor
