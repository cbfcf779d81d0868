#include "link/packet.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

struct RequestCase
{
    const char* name;
    Packet built;
    Packet wire;
};

// Every command the tool sends, with its bytes as they go on the wire.
const RequestCase kRequests[] = {
    {"reset", MakeRequest(Command::Reset, 0), {0x5B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA0}},
    {"probe", MakeRequest(Command::ReadEeprom, 127), {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24}},
    {"read flash",
     MakeRequest(Command::ReadFlash, 0x02, 0x12),
     {0x5B, 0x00, 0x02, 0x12, 0x00, 0x00, 0x91}},
    {"write flash",
     MakeRequest(Command::WriteFlash, 0x34, 0x12, 0xEF, 0xBE),
     {0x5B, 0x01, 0x34, 0x12, 0xEF, 0xBE, 0xB1}},
    {"write eeprom",
     MakeRequest(Command::WriteEeprom, 0xFF, 0, 0xAB),
     {0x5B, 0x03, 0xFF, 0x00, 0xAB, 0x00, 0xF8}},
    {"read ram", MakeRequest(Command::ReadRam, 0x20), {0x5B, 0x04, 0x20, 0x00, 0x00, 0x00, 0x81}},
    {"write ram",
     MakeRequest(Command::WriteRam, 0x50, 0, 0x01),
     {0x5B, 0x06, 0x50, 0x00, 0x01, 0x00, 0x4E}},
};

TEST(Packet, requests_matchTheirWireBytes)
{
    for (const auto& c : kRequests) {
        EXPECT_EQ(c.built, c.wire) << c.name;
        EXPECT_TRUE(HasValidChecksum(c.wire)) << c.name;
    }
}

TEST(Packet, answers_carryTheAnswerHeaderAndAValidChecksum)
{
    const Packet built = MakeAnswer(0, 0x02, 0x12, 0x34, 0x56);
    EXPECT_EQ(built, (Packet{0xB5, 0x00, 0x02, 0x12, 0x34, 0x56, 0xAD}));
    EXPECT_TRUE(HasValidChecksum(built));
}

TEST(Packet, checksum_makesTheSevenBytesSumToZero)
{
    const Packet extremes[] = {
        {0, 0, 0, 0, 0, 0, 0},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0},
        {0xB5, 0x04, 0x80, 0x7F, 0x01, 0xFE, 0},
    };
    for (Packet p : extremes) {
        p[6] = PacketChecksum(p);
        unsigned sum = 0;
        for (auto b : p)
            sum += b;
        EXPECT_EQ(sum % 256, 0u);
    }
}

TEST(Packet, anySingleCorruptedByte_failsTheChecksum)
{
    const Packet good = MakeAnswer(2, 0x7F, 0, 0x2A, 0);
    for (std::size_t i = 0; i < kPacketSize; ++i) {
        for (unsigned flip = 1; flip < 256; ++flip) {
            Packet bad = good;
            bad[i] = static_cast<std::uint8_t>(bad[i] ^ flip);
            ASSERT_FALSE(HasValidChecksum(bad)) << "byte " << i << " flip " << flip;
        }
    }
}

TEST(Packet, onlyReadAnswerCodes_wakeATransaction)
{
    for (unsigned code = 0; code < 256; ++code) {
        const bool wakes = code == 0 || code == 2 || code == 4;
        EXPECT_EQ(IsWakingAnswerCode(static_cast<std::uint8_t>(code)), wakes) << code;
    }
}

} // namespace
} // namespace kestrum
