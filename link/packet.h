#pragma once

#include <array>
#include <cstdint>

// The 7-byte unit of the controller protocol, in both directions. Pure data:
// building and checking frames knows nothing of ports or transactions.
namespace kestrum {

inline constexpr std::uint8_t kRequestHeader = 0x5B;
inline constexpr std::uint8_t kAnswerHeader = 0xB5;
inline constexpr std::size_t kPacketSize = 7;

enum class Command : std::uint8_t
{
    ReadFlash = 0,
    WriteFlash = 1,
    ReadEeprom = 2,
    WriteEeprom = 3,
    ReadRam = 4,
    Reset = 5,
    WriteRam = 6,
};

using Packet = std::array<std::uint8_t, kPacketSize>;

// Two's complement of the 8-bit sum of bytes 0..5, so a valid frame sums to 0.
std::uint8_t PacketChecksum(const Packet& p);

// A request: header, code, the four command bytes, checksum.
Packet MakeRequest(Command code, std::uint8_t b2, std::uint8_t b3 = 0, std::uint8_t b4 = 0,
                   std::uint8_t b5 = 0);

// An answer frame as the controller builds it (used by the simulator).
Packet MakeAnswer(std::uint8_t code, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4,
                  std::uint8_t b5);

bool HasValidChecksum(const Packet& p);

// Only answers to reads wake a waiting transaction.
bool IsWakingAnswerCode(std::uint8_t code);

} // namespace kestrum
