#pragma once

#include "monitor/gauges.h"

#include <array>
#include <cstddef>
#include <vector>

// The readings a plot draws: one sample per polling cycle (or recorded row),
// in the order they came, with a bounded memory.
namespace kestrum::monitor {

struct PlotSample
{
    double time = 0; // civil seconds (plot_time.h), never decreasing
    // NaN for a gauge that was not read in the cycle. Floats are enough for
    // texts of one decimal and halve the memory of a long recording.
    std::array<float, kGaugeCount> values{};
    // The first sample after a pause in polling: the lines break before it.
    bool startsRun = false;
};

class CPlotHistory
{
public:
    // A day at the 9600 bit/s link's ~14 cycles a second is about 1.2 million
    // cycles. The history keeps at most `capacity` samples (32 bytes each,
    // 16 MB by default): when full, every second sample of its older half is
    // dropped, so the newest quarter of the history keeps full detail and
    // older stretches thin out gradually instead of being cut off. A sample
    // that starts a run or changes the error flags is never dropped.
    explicit CPlotHistory(std::size_t capacity = std::size_t{1} << 19);

    // The next sample starts a new run (polling was stopped, or the window
    // stopped following it).
    void BreakRun() { breakPending_ = true; }
    // A cycle's log-row texts at `time`; an empty or unreadable text is a
    // gauge that was not read. A time earlier than the last one (a clock set
    // back) is moved up to it, and the samples after it by as much, so the
    // order of arrival and the spacing of the cycles are kept.
    void Add(double time, const GaugeTexts& texts);
    void Add(PlotSample sample);
    void Clear();

    const std::vector<PlotSample>& Samples() const { return samples_; }
    std::size_t Capacity() const { return capacity_; }

private:
    void Thin();

    std::size_t capacity_;
    std::vector<PlotSample> samples_;
    bool breakPending_ = true;
    double shift_ = 0;
};

} // namespace kestrum::monitor
