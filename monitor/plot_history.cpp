#include "monitor/plot_history.h"

#include "monitor/gauge_text.h"

#include <cmath>
#include <limits>

namespace kestrum::monitor {

CPlotHistory::CPlotHistory(std::size_t capacity) : capacity_(capacity < 8 ? 8 : capacity) {}

void CPlotHistory::Add(double time, const GaugeTexts& texts)
{
    PlotSample sample;
    sample.time = time;
    for (std::size_t i = 0; i < kGaugeCount; ++i) {
        const auto value = ParseGaugeText(static_cast<Gauge>(i), texts[i]);
        sample.values[i] =
            value ? static_cast<float>(*value) : std::numeric_limits<float>::quiet_NaN();
    }
    Add(sample);
}

void CPlotHistory::Add(PlotSample sample)
{
    if (breakPending_) {
        sample.startsRun = true;
        breakPending_ = false;
    }
    sample.time += shift_;
    if (!samples_.empty() && sample.time < samples_.back().time) {
        shift_ += samples_.back().time - sample.time;
        sample.time = samples_.back().time;
    }
    if (samples_.size() >= capacity_)
        Thin();
    samples_.push_back(sample);
}

void CPlotHistory::Clear()
{
    samples_.clear();
    breakPending_ = true;
    shift_ = 0;
}

void CPlotHistory::Thin()
{
    constexpr auto kFlags = static_cast<std::size_t>(Gauge::ErrorFlags);
    const std::size_t olderHalf = samples_.size() / 2;
    std::size_t kept = 0;
    float lastFlags = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t i = 0; i < olderHalf; ++i) {
        const PlotSample& s = samples_[i];
        const float flags = s.values[kFlags];
        const bool flagsChanged = !std::isnan(flags) && flags != lastFlags;
        if (!std::isnan(flags))
            lastFlags = flags;
        // The last sample of a run keeps its end where it was.
        const bool endsRun = i + 1 < samples_.size() && samples_[i + 1].startsRun;
        if (i % 2 == 0 || s.startsRun || endsRun || flagsChanged)
            samples_[kept++] = s;
    }
    for (std::size_t i = olderHalf; i < samples_.size(); ++i)
        samples_[kept++] = samples_[i];
    samples_.resize(kept);
    // A stretch made only of samples that must stay (flags flickering every
    // cycle) would leave the history full: then the bound wins.
    if (samples_.size() >= capacity_) {
        kept = 0;
        for (std::size_t i = 0; i < samples_.size(); ++i) {
            if (i >= olderHalf || i % 2 == 0)
                samples_[kept++] = samples_[i];
        }
        samples_.resize(kept);
    }
}

} // namespace kestrum::monitor
