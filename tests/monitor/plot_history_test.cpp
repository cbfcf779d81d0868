#include "monitor/plot_decimate.h"
#include "monitor/plot_history.h"
#include "monitor/plot_scale.h"
#include "monitor/plot_time.h"
#include "monitor/plot_viewport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrum::monitor;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

PlotSample Sample(double time, float voltage, float flags = kNaN, bool startsRun = false)
{
    PlotSample s;
    s.time = time;
    s.values.fill(kNaN);
    s.values[static_cast<std::size_t>(Gauge::Voltage)] = voltage;
    s.values[static_cast<std::size_t>(Gauge::ErrorFlags)] = flags;
    s.startsRun = startsRun;
    return s;
}

TEST(PlotHistory, ParsesTheRowTextsAndMarksRunStarts)
{
    CPlotHistory history;
    history.Add(10, GaugeTexts{"50", "", "52.6", "", "", "0x0A"});
    history.Add(11, GaugeTexts{"50", "", "52.6", "", "", "0x0A"});
    history.BreakRun();
    history.Add(20, GaugeTexts{"", "", "", "", "", "0x00"});
    const auto& s = history.Samples();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(std::vector<bool>({s[0].startsRun, s[1].startsRun, s[2].startsRun}),
              std::vector<bool>({true, false, true}));
    EXPECT_FLOAT_EQ(s[0].values[2], 52.6f);
    EXPECT_FLOAT_EQ(s[0].values[5], 10.f);
    EXPECT_TRUE(std::isnan(s[2].values[0]));
}

TEST(PlotHistory, aClockSetBack_keepsTheOrderAndTheSpacing)
{
    CPlotHistory history;
    for (double t : {100.0, 101.0, 40.0, 41.0})
        history.Add(Sample(t, 1));
    std::vector<double> times;
    for (const PlotSample& s : history.Samples())
        times.push_back(s.time);
    EXPECT_EQ(times, (std::vector<double>{100, 101, 101, 102}));
}

TEST(PlotHistory, StaysWithinItsCapacityKeepingRunStartsAndFlagChanges)
{
    CPlotHistory history(1000);
    for (int i = 0; i < 100000; ++i) {
        const float flags = (i / 5000) % 2 == 0 ? 0.f : 3.f;
        history.Add(Sample(i, static_cast<float>(i % 7), flags, i % 20000 == 0));
        ASSERT_LE(history.Samples().size(), 1000u);
    }
    const auto& s = history.Samples();
    EXPECT_TRUE(std::is_sorted(s.begin(), s.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
    EXPECT_EQ(s.back().time, 99999);
    for (int i : {0, 20000, 40000, 60000, 80000, 5000, 10000, 95000}) {
        EXPECT_TRUE(std::any_of(s.begin(), s.end(), [i](const auto& x) { return x.time == i; }))
            << i;
    }
}

TEST(PlotDecimate, BreaksLinesWhereARunStartsOrTheGaugeWasNotRead)
{
    const std::vector<PlotSample> samples = {Sample(0, 1, kNaN, true), Sample(1, 2),
                                             Sample(2, kNaN),          Sample(3, 3),
                                             Sample(4, 4, kNaN, true), Sample(5, 5)};
    const auto segments = VisibleSegments(samples, Gauge::Voltage, 0, 5, 1000);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0].size(), 2u);
    EXPECT_EQ(segments[1].size(), 1u);
    EXPECT_EQ(segments[2].size(), 2u);
    EXPECT_TRUE(VisibleSegments(samples, Gauge::Throttle, 0, 5, 1000).empty());
}

TEST(PlotDecimate, KeepsTwoPointsPerSliceAndEveryPeak)
{
    std::vector<PlotSample> samples;
    for (int i = 0; i < 10000; ++i)
        samples.push_back(Sample(i, i == 4321 ? 99.f : (i == 7777 ? -99.f : 1.f), kNaN, i == 0));
    const auto segments = VisibleSegments(samples, Gauge::Voltage, 0, 9999, 100);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_LE(segments[0].size(), 202u);
    const auto has = [&](double value) {
        return std::any_of(segments[0].begin(), segments[0].end(),
                           [value](const PlotPoint& p) { return p.value == value; });
    };
    EXPECT_TRUE(has(99));
    EXPECT_TRUE(has(-99));
}

TEST(PlotDecimate, MarksTheCyclesWhereTheFlagsChange)
{
    const std::vector<PlotSample> samples = {
        Sample(0, 1, 0, true), Sample(1, 1, 10),      Sample(2, 1, 10),      Sample(3, 1, kNaN),
        Sample(4, 1, 0),       Sample(5, 1, 0, true), Sample(6, 1, 2, true), Sample(7, 1, 2)};
    std::vector<double> times;
    for (const PlotPoint& p : FlagChanges(samples, 0, 7))
        times.push_back(p.time);
    EXPECT_EQ(times, (std::vector<double>{1, 4, 6}));
    // Seen from inside: the reading before the window decides.
    EXPECT_TRUE(FlagChanges(samples, 2, 3).empty());
}

TEST(PlotTime, TicksFallOnRoundClockSteps)
{
    struct Case
    {
        double from, to;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        {0.5, 5.5, {1, 2, 3, 4, 5}},
        {3601, 3900, {3660, 3720, 3780, 3840, 3900}},
        {100, 99, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeTicks(c.from, c.to, 6), c.ticks) << c.from << ".." << c.to;
    EXPECT_DOUBLE_EQ(CivilSeconds(1970, 1, 2, 0, 0, 1, 500), 86401.5);
    EXPECT_DOUBLE_EQ(CivilSeconds(2000, 3, 1, 0, 0, 0, 0) - CivilSeconds(2000, 2, 28, 0, 0, 0, 0),
                     2 * 86400.0);
}

} // namespace

namespace {

TEST(PlotScale, CoversTheValuesWithRoundTicks)
{
    struct Case
    {
        double low, high;
        double wantLow, wantHigh;
        int ticks, decimals;
    };
    const Case cases[] = {
        {0, 315, 0, 400, 5, 0}, {44.9, 51.1, 44, 52, 5, 0}, {0, 100, 0, 100, 5, 0},
        {0, 0.9, 0, 1, 5, 2},   {5, 5, 4, 6, 5, 1},         {-273, -250, -280, -250, 4, 0},
    };
    for (const Case& c : cases) {
        const ValueScale s = NiceScale(c.low, c.high, 4);
        EXPECT_DOUBLE_EQ(s.low, c.wantLow) << c.low << ".." << c.high;
        EXPECT_DOUBLE_EQ(s.high, c.wantHigh) << c.low << ".." << c.high;
        EXPECT_EQ(s.ticks, c.ticks) << c.low << ".." << c.high;
        EXPECT_EQ(s.decimals, c.decimals) << c.low << ".." << c.high;
    }
}

} // namespace

namespace {

TEST(PlotViewport, FollowsTheSpanUntilZoomedOrPanned)
{
    CPlotViewport view; // 5 minutes
    EXPECT_DOUBLE_EQ(view.Range(0, 1000).from, 700);
    view.Zoom(0.5, 900, 0, 1000); // around 900, two thirds in
    EXPECT_FALSE(view.Following());
    EXPECT_DOUBLE_EQ(view.Range(0, 5000).from, 800);
    EXPECT_DOUBLE_EQ(view.Range(0, 5000).to, 950);
    view.Pan(-50, 0, 5000);
    EXPECT_DOUBLE_EQ(view.Range(0, 5000).to, 900);
    view.Follow();
    EXPECT_DOUBLE_EQ(view.Range(0, 5000).to, 5000);
    view.SetSpan(std::nullopt);
    EXPECT_DOUBLE_EQ(view.Range(20, 5000).from, 20);
    EXPECT_DOUBLE_EQ(view.Range(20, 20).to, 21) << "a lone reading gets room";
}

} // namespace
