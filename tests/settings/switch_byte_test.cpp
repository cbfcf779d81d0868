#include "settings/switch_byte.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

// High Pedal Disable, Plug Brake, Turbo, 1/2 Speed Reverse.
struct ReadCase
{
    std::uint8_t byte;
    SwitchStates states;
};

TEST(SwitchByteTest, bits_tickTheBoxesWithHalfSpeedReverseInverted)
{
    const ReadCase cases[] = {
        {0x00, {false, false, false, true}}, {0x0F, {true, true, true, false}},
        {0xF3, {true, true, false, true}},   {0x08, {false, false, false, false}},
        {0x04, {false, false, true, true}},  {0xF0, {false, false, false, true}},
    };
    for (const ReadCase& c : cases)
        EXPECT_EQ(SwitchesFromByte(c.byte), c.states) << "byte " << int(c.byte);
}

TEST(SwitchByteTest, composedByte_keepsBits4To7Clear)
{
    EXPECT_EQ(SwitchByte({true, true, true, true}), 0x07);
    EXPECT_EQ(SwitchByte({false, false, false, false}), 0x08);
    EXPECT_EQ(SwitchByte({false, true, false, true}), 0x02);
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::uint8_t composed = SwitchByte(SwitchesFromByte(static_cast<std::uint8_t>(byte)));
        EXPECT_EQ(composed, byte & 0x0F) << "byte " << byte;
    }
}

TEST(SwitchByteTest, PlugBrakeSupportFromOptionsBit1)
{
    EXPECT_TRUE(PlugBrakeSupported(0x02));
    EXPECT_TRUE(PlugBrakeSupported(0xFF));
    EXPECT_FALSE(PlugBrakeSupported(0xFD));
    EXPECT_FALSE(PlugBrakeSupported(0x01));
}

} // namespace
} // namespace kestrum
