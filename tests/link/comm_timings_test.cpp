#include "link/comm_timings.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The one rule for a stored timing, used by the window's settings store and
// by the command line: the value as the store's 32 bits, used when the
// Timings dialog would take it, its default otherwise.
namespace kestrum {
namespace {

struct StoredCase
{
    Timing timing;
    std::optional<std::int64_t> stored;
    std::int64_t loaded;
};

class StoredTiming : public testing::TestWithParam<StoredCase>
{};

TEST_P(StoredTiming, loadsWhenTheDialogWouldTakeIt_elseTheDefault)
{
    const StoredCase& c = GetParam();
    CommTimings timings;
    // Not the defaults, so that a value left alone is told from a default.
    for (const TimingRange& range : kTimingRanges)
        ASSERT_TRUE(SetTiming(timings, range.timing, range.high));
    LoadStoredTiming(timings, c.timing, c.stored);
    EXPECT_EQ(TimingValue(timings, c.timing), c.loaded);
    for (const TimingRange& range : kTimingRanges) {
        if (range.timing != c.timing) {
            EXPECT_EQ(TimingValue(timings, range.timing), range.high) << range.storeName;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachTiming, StoredTiming,
    testing::Values(
        StoredCase{Timing::WriteDelay, 7, 7}, StoredCase{Timing::WriteDelay, 0, 0},
        StoredCase{Timing::WriteDelay, 10000, 10000}, StoredCase{Timing::WriteDelay, 10001, 20},
        StoredCase{Timing::WriteDelay, -1, 20}, // 4294967295 as the store's bits
        StoredCase{Timing::WriteDelay, std::nullopt, 20}, StoredCase{Timing::ReadWriteTries, 0, 0},
        StoredCase{Timing::ReadWriteTries, 99, 99}, StoredCase{Timing::ReadWriteTries, 100, 5},
        StoredCase{Timing::ReadWriteTries, -1, 5},
        StoredCase{Timing::ReadWriteTries, 4294967299LL, 3}, // 32 bits kept: 3
        StoredCase{Timing::ReadWriteTries, std::nullopt, 5}, StoredCase{Timing::RetryDelay, 0, 0},
        StoredCase{Timing::RetryDelay, 4294967295LL, 200},
        StoredCase{Timing::RetryDelay, std::nullopt, 200}, StoredCase{Timing::ResetTries, 1, 1},
        StoredCase{Timing::ResetTries, 99, 99}, StoredCase{Timing::ResetTries, 0, 20},
        StoredCase{Timing::ResetTries, -1, 20}, StoredCase{Timing::ResetTries, 100, 20},
        StoredCase{Timing::ResetTries, 2147483647, 20},
        StoredCase{Timing::ResetTries, std::nullopt, 20},
        StoredCase{Timing::ResetDelay, 10000, 10000}, StoredCase{Timing::ResetDelay, 100000, 50}));

TEST(TimingRanges, areTheDialogsRanges_inTheStoresOrder)
{
    const struct
    {
        const char* name;
        std::int64_t low, high;
        bool isSigned;
    } expected[] = {{"WriteDelay", 0, 10000, false},
                    {"ReadWriteTries", 0, 99, true},
                    {"RetryDelay", 0, 10000, false},
                    {"ResetTries", 1, 99, true},
                    {"ResetDelay", 0, 10000, false}};
    ASSERT_EQ(std::size(kTimingRanges), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_STREQ(kTimingRanges[i].storeName, expected[i].name);
        EXPECT_EQ(kTimingRanges[i].low, expected[i].low) << expected[i].name;
        EXPECT_EQ(kTimingRanges[i].high, expected[i].high) << expected[i].name;
        EXPECT_EQ(kTimingRanges[i].isSigned, expected[i].isSigned) << expected[i].name;
        EXPECT_EQ(&RangeOf(kTimingRanges[i].timing), &kTimingRanges[i]);
    }
}

TEST(StoredTimings, eachNameAskedOnceInTheStoresOrder_andLoadedByTheRule)
{
    CommTimings timings;
    // Away from the defaults, so that a default loaded is seen.
    ASSERT_TRUE(SetTiming(timings, Timing::ReadWriteTries, 99));
    ASSERT_TRUE(SetTiming(timings, Timing::RetryDelay, 10000));
    ASSERT_TRUE(SetTiming(timings, Timing::ResetTries, 99));
    std::vector<std::string> asked;
    LoadStoredTimings(timings, [&asked](const char* name) -> std::optional<std::int64_t> {
        asked.emplace_back(name);
        if (asked.back() == "WriteDelay")
            return 35;
        if (asked.back() == "ResetTries")
            return 0; // the dialog would refuse it: the default
        if (asked.back() == "RetryDelay")
            return 4294967295LL; // too long a wait as the store's bits: the default
        if (asked.back() == "ResetDelay")
            return 75;
        return std::nullopt;
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"WriteDelay", "ReadWriteTries", "RetryDelay",
                                               "ResetTries", "ResetDelay"}));
    EXPECT_EQ(timings.writeDelay, 35u);
    EXPECT_EQ(timings.readWriteTries, 5);
    EXPECT_EQ(timings.retryDelay, 200u);
    EXPECT_EQ(timings.resetTries, 20);
    EXPECT_EQ(timings.resetDelay, 75u);
}

TEST(SetTiming, refusesOutsideTheRange_andKeepsTheValue)
{
    CommTimings timings;
    EXPECT_FALSE(SetTiming(timings, Timing::ResetTries, 0));
    EXPECT_FALSE(SetTiming(timings, Timing::RetryDelay, 10001));
    EXPECT_EQ(timings.resetTries, 20);
    EXPECT_EQ(timings.retryDelay, 200u);
    EXPECT_TRUE(SetTiming(timings, Timing::ResetTries, 1));
    EXPECT_EQ(timings.resetTries, 1);
}

} // namespace
} // namespace kestrum
