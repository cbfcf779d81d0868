#include "monitor/plot_readings.h"

#include <gtest/gtest.h>
#include <optional>

using namespace kestrum::monitor;

namespace {

// Readings at 100, 101, ... 119 s.
std::vector<PlotSample> TwentySeconds()
{
    std::vector<PlotSample> samples(20);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i].time = 100.0 + static_cast<double>(i);
    return samples;
}

TEST(PlotReadings, NewestWithinAStretch_IsItsLastReadingOrNone)
{
    const auto samples = TwentySeconds();
    const struct
    {
        TimeRange range;
        std::optional<double> newest;
    } cases[] = {
        {{-180, 119}, 119},        {{105.5, 110.5}, 110},        {{110, 110}, 110},
        {{0, 99.9}, std::nullopt}, {{119.1, 400}, std::nullopt}, {{104.2, 104.8}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NewestReadingWithin(samples, c.range), c.newest)
            << c.range.from << " to " << c.range.to;
        EXPECT_EQ(AnyReadingWithin(samples, c.range), c.newest.has_value())
            << c.range.from << " to " << c.range.to;
    }
    EXPECT_FALSE(NewestReadingWithin({}, {0, 1000}).has_value());
}

TEST(PlotReadings, NearestReading_TakesTheCloserSideAndTheEnds)
{
    const auto samples = TwentySeconds();
    const struct
    {
        double time;
        double nearest;
    } cases[] = {{50, 100}, {104.4, 104}, {104.6, 105}, {107, 107}, {300, 119}};
    for (const auto& c : cases)
        EXPECT_EQ(NearestReading(samples, c.time), c.nearest) << c.time;
}

TEST(PlotReadings, AnEmptyStretchMovesToTheNearestReading_KeepingItsWidth)
{
    const auto samples = TwentySeconds();
    const struct
    {
        TimeRange range;
        TimeRange moved;
    } cases[] = {
        {{-40, 60}, {0, 100}},          // before them all: the first at the right edge
        {{200, 230}, {119, 149}},       // after them all: the last at the left edge
        {{104.2, 104.3}, {104, 104.1}}, // between two: the nearer at its edge
        {{104.7, 104.8}, {104.9, 105}}, // ... on either side
        {{102, 108}, {102, 108}},       // readings in view: left as it is
    };
    for (const auto& c : cases) {
        const TimeRange moved = WithNearestReading(samples, c.range);
        EXPECT_NEAR(moved.from, c.moved.from, 1e-9) << c.range.from;
        EXPECT_NEAR(moved.to, c.moved.to, 1e-9) << c.range.from;
    }
    const TimeRange none = WithNearestReading({}, {5, 6});
    EXPECT_EQ(none.from, 5);
    EXPECT_EQ(none.to, 6);
}

} // namespace
