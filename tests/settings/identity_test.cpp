#include "settings/identity.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

struct SerialCase
{
    std::uint8_t low, middle, high;
    const char* text;
};

class SerialNumberTextTest : public testing::TestWithParam<SerialCase>
{};

TEST_P(SerialNumberTextTest, ThreeBytesLowFirstInDecimal)
{
    const SerialCase& c = GetParam();
    EXPECT_EQ(SerialNumberText(c.low, c.middle, c.high), c.text);
}

INSTANTIATE_TEST_SUITE_P(Bytes, SerialNumberTextTest,
                         testing::Values(SerialCase{0x40, 0xE2, 0x01, "123456"},
                                         SerialCase{0xFF, 0xFF, 0xFF, "blank"},
                                         SerialCase{0xFF, 0xFF, 0x7F, "8388607"},
                                         SerialCase{0xFF, 0xFF, 0xFE, "16711679"},
                                         SerialCase{0xFE, 0xFF, 0xFF, "16777214"},
                                         SerialCase{0x00, 0x00, 0x80, "8388608"},
                                         SerialCase{0x00, 0x00, 0x00, "0"}));

TEST(FieldMapTextTest, LowByteOfTheWordInDecimal)
{
    EXPECT_EQ(FieldMapText(0x1234), "52");
    EXPECT_EQ(FieldMapText(0x00FF), "255");
    EXPECT_EQ(FieldMapText(0xFF00), "0");
    EXPECT_EQ(FieldMapText(0x0007), "7");
}

} // namespace
} // namespace kestrum
