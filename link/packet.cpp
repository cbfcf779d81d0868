#include "link/packet.h"

namespace kestrum {

std::uint8_t PacketChecksum(const Packet& p)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < kPacketSize - 1; ++i)
        sum += p[i];
    return static_cast<std::uint8_t>(0u - sum);
}

static Packet MakeFrame(std::uint8_t header, std::uint8_t code, std::uint8_t b2, std::uint8_t b3,
                        std::uint8_t b4, std::uint8_t b5)
{
    Packet p{header, code, b2, b3, b4, b5, 0};
    p[6] = PacketChecksum(p);
    return p;
}

Packet MakeRequest(Command code, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t b5)
{
    return MakeFrame(kRequestHeader, static_cast<std::uint8_t>(code), b2, b3, b4, b5);
}

Packet MakeAnswer(std::uint8_t code, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4,
                  std::uint8_t b5)
{
    return MakeFrame(kAnswerHeader, code, b2, b3, b4, b5);
}

bool HasValidChecksum(const Packet& p)
{
    return p[6] == PacketChecksum(p);
}

bool IsWakingAnswerCode(std::uint8_t code)
{
    return code == 0 || code == 2 || code == 4;
}

} // namespace kestrum
