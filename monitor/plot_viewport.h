#pragma once

#include <optional>

// Which stretch of time the plot shows: the last `span` seconds while it
// follows the readings, or a stretch the user zoomed or panned to, which
// stays put until the plot follows again.
namespace kestrum::monitor {

struct TimeRange
{
    double from = 0;
    double to = 0;
};

class CPlotViewport
{
public:
    // Seconds shown while following; nothing shows everything.
    void SetSpan(std::optional<double> seconds);
    std::optional<double> Span() const { return span_; }

    void Follow();
    bool Following() const { return !held_; }
    // Shows `range` until following again (Pause, a recording's first view).
    void Hold(TimeRange range) { held_ = range; }
    // All of data from `first` to `last`, or a few seconds around a lone
    // reading.
    static TimeRange WholeRange(double first, double last);

    // Both hold the result. `factor` < 1 zooms in; `anchor` keeps its place.
    void Zoom(double factor, double anchor, double first, double last);
    void Pan(double seconds, double first, double last);

    // The stretch to show for data from `first` to `last` (seconds).
    TimeRange Range(double first, double last) const;

private:
    std::optional<double> span_ = 300;
    std::optional<TimeRange> held_;
};

} // namespace kestrum::monitor
