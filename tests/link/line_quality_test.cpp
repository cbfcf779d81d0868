#include "link/controller.h"
#include "link/line_quality.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"

#include <gtest/gtest.h>
#include <vector>

// "Poor line": more than one transaction in ten of the last fifty needed a
// resend.
namespace kestrum {
namespace {

struct QualityCase
{
    const char* name;
    std::vector<std::pair<int, bool>> runs; // (count, resent) in order
    std::size_t transactions;
    std::size_t resent;
    bool poor;
    unsigned percent;
};

class LineQualityRule : public ::testing::TestWithParam<QualityCase>
{};

TEST_P(LineQualityRule, recordedRuns_giveCountsAndVerdict)
{
    LineQuality quality;
    for (const auto& [count, resent] : GetParam().runs)
        for (int i = 0; i < count; ++i)
            quality.Record(resent);
    const LineQualitySnapshot snapshot = quality.Snapshot();
    EXPECT_EQ(snapshot.transactions, GetParam().transactions);
    EXPECT_EQ(snapshot.resent, GetParam().resent);
    EXPECT_EQ(snapshot.Poor(), GetParam().poor);
    EXPECT_EQ(snapshot.ResendPercent(), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineQualityRule,
    ::testing::Values(QualityCase{"none", {}, 0, 0, false, 0},
                      QualityCase{"clean", {{50, false}}, 50, 0, false, 0},
                      QualityCase{"fiveOfFifty", {{45, false}, {5, true}}, 50, 5, false, 10},
                      QualityCase{"sixOfFifty", {{44, false}, {6, true}}, 50, 6, true, 12},
                      QualityCase{
                          "twentyEightOfThirtyFive", {{7, false}, {28, true}}, 35, 28, true, 80},
                      QualityCase{"oldResendsSlidOut", {{10, true}, {50, false}}, 50, 0, false, 0},
                      QualityCase{"halfSlidOut", {{10, true}, {45, false}}, 50, 5, false, 10}),
    [](const auto& info) { return std::string(info.param.name); });

// Against the simulator: every second answer dropped makes a poor line,
// while each read still succeeds on its second send.
TEST(LineQualityLink, everySecondAnswerDropped_poorLine_readsStillAnswer)
{
    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    ASSERT_TRUE(sim.Start());
    CController link;
    ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 3));
    sim.SetFaults({.dropEvery = 2});
    std::uint8_t byte = 0;
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(link.ReadEeprom(48, byte));
    const LineQualitySnapshot quality = link.Quality();
    EXPECT_EQ(quality.transactions, 6u);
    EXPECT_GE(quality.resent, 3u);
    EXPECT_TRUE(quality.Poor());
    EXPECT_EQ(link.Health().state, LinkState::Answering);
}

} // namespace
} // namespace kestrum
