#include "monitor/plot_decimate.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kestrum::monitor {

namespace {

using Samples = std::vector<PlotSample>;

// The indices [first, last) of the samples within [from, to] and one on each
// side.
std::pair<std::size_t, std::size_t> VisibleRange(const Samples& samples, double from, double to)
{
    const auto byTime = [](const PlotSample& s, double t) { return s.time < t; };
    auto first = std::lower_bound(samples.begin(), samples.end(), from, byTime);
    auto last = std::upper_bound(samples.begin(), samples.end(), to,
                                 [](double t, const PlotSample& s) { return t < s.time; });
    if (first != samples.begin())
        --first;
    if (last != samples.end())
        ++last;
    return {static_cast<std::size_t>(first - samples.begin()),
            static_cast<std::size_t>(last - samples.begin())};
}

// Collects one line's points slice by slice, keeping each slice's extremes.
class SliceReducer
{
public:
    SliceReducer(double from, double width) : from_(from), width_(width) {}

    void Add(PlotSegment& line, PlotPoint point)
    {
        // The samples beside the visible stretch may lie far out: clamped,
        // their slice still fits the integer.
        const double position = width_ > 0 ? std::floor((point.time - from_) / width_) : 0;
        const auto slice = static_cast<long long>(std::clamp(position, -1e15, 1e15));
        if (!low_ || slice != slice_)
            Flush(line);
        slice_ = slice;
        if (!low_ || point.value < low_->value)
            low_ = point;
        if (!high_ || point.value > high_->value)
            high_ = point;
    }

    void Flush(PlotSegment& line)
    {
        if (low_) {
            const bool lowFirst = low_->time <= high_->time;
            line.push_back(lowFirst ? *low_ : *high_);
            if (low_->time != high_->time)
                line.push_back(lowFirst ? *high_ : *low_);
        }
        low_.reset();
        high_.reset();
    }

private:
    double from_;
    double width_;
    long long slice_ = 0;
    std::optional<PlotPoint> low_;
    std::optional<PlotPoint> high_;
};

} // namespace

std::vector<PlotSegment> VisibleSegments(const Samples& samples, Gauge gauge, double from,
                                         double to, std::size_t buckets)
{
    std::vector<PlotSegment> segments;
    const auto [first, last] = VisibleRange(samples, from, to);
    const auto index = static_cast<std::size_t>(gauge);
    SliceReducer reducer(from, buckets > 0 ? (to - from) / static_cast<double>(buckets) : 0);
    PlotSegment line;
    const auto endLine = [&] {
        reducer.Flush(line);
        if (!line.empty())
            segments.push_back(std::move(line));
        line.clear();
    };
    for (std::size_t i = first; i < last; ++i) {
        const PlotSample& s = samples[i];
        const float value = s.values[index];
        if (s.startsRun || std::isnan(value))
            endLine();
        if (!std::isnan(value))
            reducer.Add(line, {s.time, value});
    }
    endLine();
    return segments;
}

std::vector<PlotPoint> FlagChanges(const Samples& samples, double from, double to)
{
    constexpr auto kFlags = static_cast<std::size_t>(Gauge::ErrorFlags);
    std::vector<PlotPoint> changes;
    // The last reading before the visible stretch, in the same run, decides
    // whether its first one is a change.
    const auto [first, last] = VisibleRange(samples, from, to);
    float previous = 0;
    for (std::size_t j = first; j-- > 0;) {
        if (!std::isnan(samples[j].values[kFlags])) {
            previous = samples[j].values[kFlags];
            break;
        }
        if (samples[j].startsRun)
            break;
    }
    for (std::size_t i = first; i < last; ++i) {
        const PlotSample& s = samples[i];
        if (s.startsRun)
            previous = 0;
        const float flags = s.values[kFlags];
        if (std::isnan(flags))
            continue;
        if (flags != previous && s.time >= from && s.time <= to)
            changes.push_back({s.time, flags});
        previous = flags;
    }
    return changes;
}

} // namespace kestrum::monitor
