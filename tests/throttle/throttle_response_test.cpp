#include "link/controller.h"
#include "sim/simulator.h"
#include "throttle/graph_mapping.h"
#include "throttle/sensor_types.h"
#include "throttle/throttle_response.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

constexpr std::uint16_t kBase = 0x1000;

Packet ReadE(std::uint8_t address)
{
    return MakeRequest(Command::ReadEeprom, address);
}
Packet ReadF(std::uint16_t address)
{
    return MakeRequest(Command::ReadFlash, static_cast<std::uint8_t>(address),
                       static_cast<std::uint8_t>(address >> 8));
}

// Cancels when asked for the n-th time.
class CancelAt final : public RunProgress
{
public:
    explicit CancelAt(int n) : n(n) {}
    void SetRange(std::int64_t, std::int64_t) override {}
    void SetPos(std::int64_t) override {}
    bool Cancelled() override { return ++asked == n; }
    int n;
    int asked = 0;
};

TEST(ThrottleTables, classification)
{
    ThrottleTable oneOff = kLinearTable;
    oneOff[100] += 1;
    struct Case
    {
        ThrottleTable table;
        std::string_view name;
    } cases[] = {{kLinearTable, "Linear"},
                 {kInductiveTable, "Inductive"},
                 {oneOff, "Custom"},
                 {ThrottleTable{}, "Custom"}};
    for (const auto& c : cases)
        EXPECT_EQ(Classify(c.table).name, c.name);
}

TEST(SensorTypes, codesAndEnabling)
{
    EXPECT_EQ(SensorIndex(255), 1u);
    EXPECT_EQ(SensorIndex(7), std::nullopt);
    EXPECT_EQ(SensorIndex(kNoSensorCode), std::nullopt);
    struct Case
    {
        std::uint8_t model, options;
        int enabled;
    } cases[] = {{100, 1, 4}, {40, 1, 8}, {255, 1, 8}, {96, 1, 4}, {254, 1, 4}, {40, 0, 0}};
    for (const auto& c : cases) {
        const auto n = std::count_if(kSensorTypes.begin(), kSensorTypes.end(), [&](auto& t) {
            return SensorEnabled(t, c.options, IsRestrictedModel(c.model));
        });
        EXPECT_EQ(n, c.enabled) << int(c.model);
    }
}

TEST(GraphMapping, cornersOfTheClientArea)
{
    const auto origin = MapToPixel(0, 0, 256, 300, 200);
    const auto top = MapToPixel(255, 255, 256, 300, 200);
    EXPECT_DOUBLE_EQ(origin.x, 0);
    EXPECT_DOUBLE_EQ(origin.y, 200);
    EXPECT_DOUBLE_EQ(top.x, 300);
    EXPECT_DOUBLE_EQ(top.y, 0);
}

TEST(ThrottleResponseState, nothing_canBeChosenOrSetBeforeTheSensorTypeWasRead)
{
    ThrottleResponse page;
    page.Select(AllCurves()[1]);
    page.CheckSensor(0);
    EXPECT_FALSE(page.CurvesEnabled());
    EXPECT_FALSE(page.SetEnabled()) << "would write a sensor code never read";
}

class ThrottleLinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        sim.SetEeprom(0, kBase & 0xFF);
        sim.SetEeprom(1, kBase >> 8);
        sim.SetEeprom(22, 255);
        sim.SetEeprom(23, 1);
        sim.SetEeprom(127, 40);
        Load(kLinearTable);
        link.Timings().readWriteTries = 2;
        link.Timings().retryDelay = 30;
        link.Timings().writeDelay = 1;
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
    }
    void Load(const ThrottleTable& table)
    {
        for (int i = 0; i < 256; ++i)
            sim.SetFlash(kBase + i, static_cast<std::uint16_t>(0x3400 + table[i]));
    }
    ThrottleTable Held() const
    {
        ThrottleTable t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<std::uint8_t>(sim.Flash(kBase + i));
        return t;
    }
    std::vector<Packet> RefreshTranscript() const
    {
        std::vector<Packet> expected{ReadE(127), ReadE(127), ReadE(22),
                                     ReadE(23),  ReadE(0),   ReadE(1)};
        for (int i = 0; i < 256; ++i)
            expected.push_back(ReadF(kBase + i));
        return expected;
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    ThrottleResponse page;
    NoProgress none;
};

TEST_F(ThrottleLinkTest, refreshOfALinearController)
{
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    EXPECT_EQ(sim.Transcript(), RefreshTranscript());
    EXPECT_EQ(page.Written()->name, "Linear");
    EXPECT_EQ(page.Selected(), page.Written());
    EXPECT_EQ(page.CheckedSensor(), 1u);
    EXPECT_FALSE(page.SetEnabled());
}

TEST_F(ThrottleLinkTest, aTransientLowReadOfEntry5_isReadAgainBeforeEntry6)
{
    // The first read of entry 5 answers 0; the second gets the true value.
    std::atomic<int> reads5{0};
    sim.SetFlash(kBase + 5, 0x3400);
    sim.SetRequestObserver([&](const Packet& p) {
        if (p == ReadF(kBase + 5) && reads5++ > 0)
            sim.SetFlash(kBase + 5, static_cast<std::uint16_t>(0x3400 + kLinearTable[5]));
    });
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    auto expected = RefreshTranscript();
    const auto at6 = expected.begin() + 6 + 6;
    expected.insert(at6, {ReadF(kBase + 5), ReadF(kBase + 4)});
    EXPECT_EQ(sim.Transcript(), expected);
    EXPECT_EQ(page.Written()->name, "Linear");
}

TEST_F(ThrottleLinkTest, aPairThatStaysDecreasing_isReadThreeTimesAtMost)
{
    ThrottleTable bad = kLinearTable;
    bad[5] = 0;
    Load(bad);
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    // Three re-read pairs when entry 5 is read, three more when entry 6's
    // check walks back to the pair that is still decreasing.
    EXPECT_EQ(sim.Transcript().size(), RefreshTranscript().size() + 12);
    EXPECT_EQ(page.Written()->name, "Custom");
    EXPECT_EQ(CustomCurve().table, bad);
}

TEST_F(ThrottleLinkTest, setSCurveWritesTheTableThenTheSensorCode)
{
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    page.Select(AllCurves()[1]);
    EXPECT_TRUE(page.SetEnabled());
    sim.ClearTranscript();
    ASSERT_EQ(page.Set(link, none), ThrottleResponse::Outcome::Done);
    const auto t = sim.Transcript();
    ASSERT_EQ(t.size(), 2u + 256 * 2 + 2);
    EXPECT_EQ(t.back(), ReadE(22));
    EXPECT_EQ(t[t.size() - 2], MakeRequest(Command::WriteEeprom, 22, 0, 255, 0));
    EXPECT_EQ(Held(), kSCurveTable);
    EXPECT_FALSE(page.SetEnabled());

    sim.ClearTranscript();
    page.CheckSensor(std::nullopt);
    ASSERT_EQ(page.Set(link, none), ThrottleResponse::Outcome::Done);
    EXPECT_EQ(sim.Transcript(),
              (std::vector<Packet>{MakeRequest(Command::WriteEeprom, 22, 0, 204, 0), ReadE(22)}));
}

TEST_F(ThrottleLinkTest, cancelledRead_keepsTheEntriesReadSoFar)
{
    CancelAt cancel(2); // at entry 32
    ASSERT_EQ(page.Refresh(link, cancel), ThrottleResponse::Outcome::Done);
    const ThrottleTable& read = CustomCurve().table;
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 33, kLinearTable.begin()));
    EXPECT_TRUE(std::all_of(read.begin() + 33, read.end(), [](auto v) { return v == 0; }));
    EXPECT_EQ(page.Written()->name, "Custom");
}

TEST_F(ThrottleLinkTest, tableReadCutShort_isNeverTakenForTheTable_andSaysWhereItStopped)
{
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    EXPECT_TRUE(page.TableKnown());
    EXPECT_EQ(TableReadNotice(page), "");

    CancelAt cancel(5); // at entry 80
    ASSERT_EQ(page.Refresh(link, cancel), ThrottleResponse::Outcome::Done);
    EXPECT_FALSE(page.TableKnown());
    EXPECT_EQ(TableReadNotice(page),
              "Table read cancelled at entry 80: the graph shows only what was read");

    // The controller falls silent after the address and the first 40 entries.
    sim.SetFaults(sim::Faults{.silentFrom = 6 + 40 + 1});
    EXPECT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::NotResponding);
    EXPECT_FALSE(page.TableKnown());
    EXPECT_EQ(TableReadNotice(page),
              "Table read stopped at entry 39 (no answer): the graph shows only what was read");

    // A whole write makes the table known again.
    sim.SetFaults({});
    page.Select(AllCurves()[0]);
    ASSERT_EQ(page.Set(link, none), ThrottleResponse::Outcome::Done);
    EXPECT_TRUE(page.TableKnown());
    EXPECT_EQ(TableReadNotice(page), "");
}

TEST_F(ThrottleLinkTest, cancelledWrite_leavesTheWrittenCurveUnknownAndSetEnabled)
{
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    page.Select(AllCurves()[2]);
    CancelAt cancel(3);
    EXPECT_EQ(page.Set(link, cancel), ThrottleResponse::Outcome::PartlyWritten);
    EXPECT_EQ(page.Written(), nullptr);
    EXPECT_TRUE(page.SetEnabled());
    EXPECT_NE(Held(), kProgressiveTable);
}

TEST_F(ThrottleLinkTest, silentControllerDuringWrite_isAPartialWrite)
{
    ASSERT_EQ(page.Refresh(link, none), ThrottleResponse::Outcome::Done);
    page.Select(AllCurves()[3]);
    sim::Faults silent;
    silent.silent = true;
    sim.SetFaults(silent);
    EXPECT_NE(page.Set(link, none), ThrottleResponse::Outcome::Done);
    EXPECT_TRUE(page.SetEnabled());
}

} // namespace
} // namespace kestrum
