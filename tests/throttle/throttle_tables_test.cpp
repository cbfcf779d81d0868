#include "throttle/throttle_tables.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

struct TableCase
{
    const char* name;
    const ThrottleTable& table;
    std::uint8_t first;
    std::uint8_t second;
    std::uint8_t last;
};

TEST(ThrottleTablesTest, fixedTables_riseFromTheirPrintedStartToFullScale)
{
    const TableCase cases[] = {
        {"Linear", kLinearTable, 0, 10, 255},
        {"SCurve", kSCurveTable, 0, 10, 255},
        {"Progressive", kProgressiveTable, 0, 0, 255},
        {"Inductive", kInductiveTable, 0, 10, 255},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(std::is_sorted(c.table.begin(), c.table.end()));
        EXPECT_EQ(c.table[0], c.first);
        EXPECT_EQ(c.table[1], c.second);
        EXPECT_EQ(c.table[255], c.last);
    }
    EXPECT_NE(kLinearTable, kSCurveTable);
    EXPECT_NE(kInductiveTable, kProgressiveTable);
}

} // namespace
} // namespace kestrum
