#include "sim/responder.h"

namespace kestrum::sim {

namespace {

std::uint8_t Low(std::uint16_t word)
{
    return static_cast<std::uint8_t>(word & 0xFF);
}

std::uint8_t High(std::uint16_t word)
{
    return static_cast<std::uint8_t>(word >> 8);
}

} // namespace

std::optional<Packet> Respond(MemoryImage& image, const Packet& request)
{
    const std::uint8_t code = request[1];
    const std::uint8_t address = request[2];
    // FLASH addresses are 16-bit on the wire; the part decodes 15 of them.
    const auto flashAddress =
        static_cast<std::uint16_t>((request[2] | (request[3] << 8)) % kFlashWords);

    switch (static_cast<Command>(code)) {
    case Command::ReadFlash: {
        const std::uint16_t word = image.flash[flashAddress];
        return MakeAnswer(code, request[2], request[3], Low(word), High(word));
    }
    case Command::WriteFlash:
        image.flash[flashAddress] = static_cast<std::uint16_t>(request[4] | (request[5] << 8));
        return std::nullopt;
    case Command::ReadEeprom:
        return MakeAnswer(code, address, 0, image.eeprom[address], 0);
    case Command::WriteEeprom:
        image.eeprom[address] = request[4];
        return std::nullopt;
    case Command::ReadRam:
        return MakeAnswer(code, address, image.ram[address],
                          image.ram[static_cast<std::uint8_t>(address + 1)],
                          image.ram[static_cast<std::uint8_t>(address + 2)]);
    case Command::Reset:
        Reset(image);
        return std::nullopt;
    case Command::WriteRam:
        image.ram[address] = request[4];
        return std::nullopt;
    }
    return std::nullopt; // codes the firmware does not know are ignored
}

void Falsify(Packet& answer, const Faults& faults)
{
    const std::uint8_t code = answer[1];
    if (faults.wrongValue) {
        if (code == static_cast<std::uint8_t>(Command::ReadRam))
            answer[3] ^= 0xFF;
        answer[4] ^= 0xFF;
        answer[5] ^= 0xFF;
    }
    if (faults.wrongAddress)
        answer[2] ^= 0x01;
    if (faults.wrongAddressHigh && code == static_cast<std::uint8_t>(Command::ReadFlash))
        answer[3] ^= 0x01;
    // Another reading code, so the tool sees the answer and must reject it.
    if (faults.wrongCode)
        answer[1] = code == 0 ? 2 : code == 2 ? 4 : 0;
    answer[6] = PacketChecksum(answer);
}

} // namespace kestrum::sim
