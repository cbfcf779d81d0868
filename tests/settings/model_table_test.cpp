#include "settings/model_table.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <set>

namespace kestrum {
namespace {

struct LookupCase
{
    int code;
    const char* displayName;
    std::size_t row;
    std::int32_t underSpan, overSpan, underOffset, overOffset;
};

class FindModelTest : public testing::TestWithParam<LookupCase>
{};

TEST_P(FindModelTest, code_selectsRowWithItsVoltageCounts)
{
    const LookupCase& c = GetParam();
    const ModelInfo& row = FindModel(static_cast<std::uint8_t>(c.code));
    EXPECT_EQ(&row, &ModelTable[c.row]);
    EXPECT_EQ(DisplayName(row), c.displayName);
    EXPECT_EQ(row.underVoltageSpan, c.underSpan);
    EXPECT_EQ(row.overVoltageSpan, c.overSpan);
    EXPECT_EQ(row.underVoltageOffset, c.underOffset);
    EXPECT_EQ(row.overVoltageOffset, c.overOffset);
}

INSTANTIATE_TEST_SUITE_P(VoltageSetsAndGaps, FindModelTest,
                         testing::Values(
                             // set A
                             LookupCase{0, "KAV RK-AA", 0, 283, 292, 156, 292},
                             LookupCase{54, "RVH RK-AV", 54, 283, 292, 156, 292},
                             // set B
                             LookupCase{1, "KAV RK-AB", 1, 234, 292, 156, 292},
                             LookupCase{104, "TLQ RK-HG", 64, 234, 292, 156, 292},
                             LookupCase{103, "BLW RK-GV", 63, 234, 292, 156, 292},
                             // set C
                             LookupCase{3, "KAV RK-AG", 3, 429, 585, 156, 292},
                             LookupCase{38, "KAV RK-FQ", 38, 429, 585, 156, 292},
                             // set D
                             LookupCase{42, "KAV RK-GA", 42, 73, 146, 83, 146},
                             LookupCase{55, "KAV RK-GR", 55, 73, 146, 83, 146},
                             // set E
                             LookupCase{102, "TLQ RK-AG", 62, 234, 585, 156, 292},
                             // codes between and after the known ones fall back to set B
                             LookupCase{56, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292},
                             LookupCase{60, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292},
                             LookupCase{95, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292},
                             LookupCase{105, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292},
                             LookupCase{254, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292},
                             LookupCase{255, "UNKNOWN UNKNOWN", 65, 234, 292, 156, 292}));

TEST(ModelTableTest, codes_runFromZeroTo55ThenFrom96To104ThenFallback)
{
    ASSERT_EQ(ModelTable.size(), 66u);
    ASSERT_EQ(ModelCount, 65);
    for (std::size_t row = 0; row < ModelCount; ++row) {
        const int expected = row <= 55 ? static_cast<int>(row) : static_cast<int>(row) + 40;
        EXPECT_EQ(ModelTable[row].code, expected) << "row " << row;
        EXPECT_EQ(&FindModel(ModelTable[row].code), &ModelTable[row]) << "row " << row;
    }
    EXPECT_EQ(&FallbackModel(), &ModelTable[65]);
    EXPECT_EQ(ModelTable[65].code, 255);
    EXPECT_EQ(ModelTable[65].family, "UNKNOWN");
    EXPECT_EQ(ModelTable[65].model, "UNKNOWN");
}

TEST(ModelTableTest, families_followTheCodeGroups)
{
    for (std::size_t row = 0; row < ModelCount; ++row) {
        const ModelInfo& info = ModelTable[row];
        if (info.code <= 55)
            EXPECT_TRUE(info.family == "KAV" || info.family == "RVH") << "row " << row;
        else
            EXPECT_TRUE(info.family == "TLQ" || info.family == "BLW") << "row " << row;
    }
}

TEST(ModelTableTest, recurringNames_stayDistinctRows)
{
    EXPECT_EQ(DisplayName(FindModel(98)), DisplayName(FindModel(101)));
    EXPECT_NE(&FindModel(98), &FindModel(101));
    EXPECT_EQ(ModelTable[9].model, ModelTable[53].model);
    EXPECT_NE(ModelTable[9].family, ModelTable[53].family);
    EXPECT_EQ(ModelTable[12].model, ModelTable[54].model);
    EXPECT_EQ(ModelTable[3].model, ModelTable[62].model);
    EXPECT_EQ(ModelTable[56].model, ModelTable[63].model);
    EXPECT_NE(ModelTable[56].family, ModelTable[63].family);
}

// Every row's limits are one of the five sets, and the voltage rule the
// correction relies on holds: under-voltage limits lie below the
// over-voltage ones, so neither slider is ever pushed out of its range.
TEST(ModelTableTest, everyRow_usesAKnownVoltageSetKeepingUnderBelowOver)
{
    const std::set<std::array<double, 4>> sets{{16.0, 45.0, 30.0, 60.0},
                                               {16.0, 40.0, 30.0, 60.0},
                                               {16.0, 60.0, 30.0, 90.0},
                                               {8.5, 16.0, 15.0, 30.0},
                                               {16.0, 40.0, 30.0, 90.0}};
    std::set<std::uint8_t> codes;
    for (const ModelInfo& info : ModelTable) {
        EXPECT_TRUE(sets.count(
            {info.underVoltageMin, info.underVoltageMax, info.overVoltageMin, info.overVoltageMax}))
            << "code " << int(info.code);
        EXPECT_LT(info.underVoltageMin, info.overVoltageMin);
        EXPECT_LT(info.underVoltageMax, info.overVoltageMax);
        // Stored voltages must fit the controller's 10 bits.
        EXPECT_LT(info.underVoltageOffset + info.underVoltageSpan, 1024);
        EXPECT_LT(info.overVoltageOffset + info.overVoltageSpan, 1024);
        codes.insert(info.code);
    }
    EXPECT_EQ(codes.size(), ModelTable.size());
}

TEST(VoltageScaleTest, CountsRoundToNearestAndSpanComesFromVoltDifference)
{
    EXPECT_EQ(VoltsToCounts(16.0), 156);
    EXPECT_EQ(VoltsToCounts(8.5), 83);
    EXPECT_EQ(VoltsToCounts(45.0 - 16.0), 283);
    EXPECT_EQ(VoltsToCounts(45.0) - VoltsToCounts(16.0), 282);
    EXPECT_EQ(FindModel(0).underVoltageSpan, 283);
    EXPECT_NEAR(CountsToVolts(283) + 16.0, 45.0469, 1e-4);
    EXPECT_DOUBLE_EQ(CountsToVolts(1023), 105.0);
    EXPECT_EQ(VoltsToCounts(105.0), 1023);
}

TEST(VoltageScaleTest, outOfRangeInput_isPinnedNotUndefined)
{
    EXPECT_EQ(VoltsToCounts(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(VoltsToCounts(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(VoltsToCounts(-1e12), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(VoltsToCounts(std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(VoltageTenths(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(VoltageTenths(30.062), 301);
    EXPECT_EQ(VoltageTenths(29.959), 300);
}

} // namespace
} // namespace kestrum
