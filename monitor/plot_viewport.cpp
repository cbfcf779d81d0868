#include "monitor/plot_viewport.h"

#include <algorithm>

namespace kestrum::monitor {

namespace {

// Zooming stops at a tenth of a second, a few cycles of the fastest polling,
// and at a year, where the time labels still make sense.
constexpr double kShortest = 0.1;
constexpr double kLongest = 366 * 86400.0;

} // namespace

void CPlotViewport::SetSpan(std::optional<double> seconds)
{
    span_ = seconds;
    held_.reset();
}

void CPlotViewport::Follow()
{
    held_.reset();
}

TimeRange CPlotViewport::WholeRange(double first, double last)
{
    if (last - first < 1)
        return {first - 1, first + 1};
    return {first, last};
}

void CPlotViewport::Zoom(double factor, double anchor, double first, double last)
{
    const TimeRange now = Range(first, last);
    const double width = std::clamp((now.to - now.from) * factor, kShortest, kLongest);
    const double share =
        now.to > now.from ? std::clamp((anchor - now.from) / (now.to - now.from), 0.0, 1.0) : 0.5;
    const double from = anchor - width * share;
    held_ = TimeRange{from, from + width};
}

void CPlotViewport::Pan(double seconds, double first, double last)
{
    const TimeRange now = Range(first, last);
    held_ = TimeRange{now.from + seconds, now.to + seconds};
}

TimeRange CPlotViewport::Range(double first, double last) const
{
    if (held_)
        return *held_;
    if (span_)
        return {last - *span_, last};
    return WholeRange(first, last);
}

} // namespace kestrum::monitor
